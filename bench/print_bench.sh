#!/usr/bin/env bash
# Printing the whole book to a PDF file, DA1011 against Chromium's own headless print:
#   ours      prompt confirmed ("Print to File (PDF)", A4, the reader's 2 cm margins) -> file in
#             place, through platform::PagePrinter (bench/print_harness)
#   chromium  chromium --headless --print-to-pdf of the same file, the whole command from
#             process start to exit
#   qt-print  QWebEngineView::print() into a 300 dpi PDF printer, the path the reader avoids
#             (a few runs only, each with a timeout)
# and, for reference only, ours with the printer's minimum margins, and the whole
# harness process (start, load, print, exit) against Chromium's whole command.
# Runs alternate between the programs. For each: median time, file size, page count and
# whether the book's last sentence can be found in the PDF's text.
#
# Usage: bench/print_bench.sh [-n RUNS] [-q QT_RUNS] [-t TIMEOUT_S] [--no-build] [--keep DIR]
#   -n RUNS        timed runs of ours and of chromium (default 5, or $RUNS)
#   -q QT_RUNS     timed runs of the qt-print path (default 2, 0 to leave it out)
#   -t TIMEOUT_S   give up on a run after this many seconds (default 120)
#   --no-build     use bench/print_harness as it is in the build folder
#   --keep DIR     copy one PDF of each kind to DIR
#
# Targets: ours takes no longer than chromium's whole run, is no larger, and its text can be
# extracted. Exit status: 0 all targets met, 3 a target missed, 1 an error.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-5}
qt_runs=2
timeout=120
do_build=1
keep=
book=$root/book/Quorvel\ 101.HTM
last_sentence='The last knot is always tied by hand.'

die() { echo "print_bench: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
    -n|--runs) runs=${2:?}; shift 2 ;;
    -q|--qt-runs) qt_runs=${2:?}; shift 2 ;;
    -t|--timeout) timeout=${2:?}; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --keep) keep=${2:?}; shift 2 ;;
    -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown argument: $1 (try --help)" ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "runs must be a positive number: $runs"
[[ $qt_runs =~ ^[0-9]+$ ]] || die "qt runs must be a number: $qt_runs"
[[ $timeout =~ ^[1-9][0-9]*$ ]] || die "timeout must be a whole number of seconds: $timeout"
[ -f "$book" ] || die "missing $book"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
need_package() {  # command package
  command -v "$1" >/dev/null && return
  echo "== installing $2"
  as_root apt-get update -qq >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null
  command -v "$1" >/dev/null || die "$1 still missing after installing $2"
}
need_package chromium chromium
need_package pdfinfo poppler-utils
need_package pdftotext poppler-utils
command -v timeout >/dev/null || die "timeout (coreutils) is needed"

work=$(mktemp -d "${TMPDIR:-/tmp}/da1011-print.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$do_build" = 1 ]; then
  [ -f "$build/CMakeCache.txt" ] || die "no configured build in $build (run cmake first)"
  echo "== building print_harness"
  cmake --build "$build" --target print_harness >"$work/build.log" 2>&1 \
    || { tail -30 "$work/build.log" >&2; die "build failed"; }
fi
harness=$build/bench/print_harness
[ -x "$harness" ] || die "missing $harness (build the print_harness target)"

# Private per-user folders for every program, the same for all.
mkdir -p "$work/runtime" "$work/cache" "$work/config" "$work/data" "$work/out"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config \
  XDG_DATA_HOME=$work/data
export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

book_url=file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$book")

now_ns() { local t=$EPOCHREALTIME; echo "${t/./}000"; }

# Each run appends "kind ms file" to $work/results; a failed run appends "kind FAIL why".
record() { echo "$*" >>"$work/results"; }

run_ours() {  # kind n extra-args...
  local kind=$1 n=$2; shift 2
  local out=$work/out/$kind-$n.pdf log=$work/$kind-$n.log t0 t1 status=0
  t0=$(now_ns)
  timeout -k 5 "$timeout" "$harness" --timeout "$timeout" "$@" "$book" "$out" >"$log" 2>"$log.err" \
    || status=$?
  t1=$(now_ns)
  if [ "$status" != 0 ]; then
    local why="exit $status"; [ "$status" = 124 ] && why="timeout ${timeout}s"
    record "$kind FAIL $why"; record "$kind-process FAIL $why"; return
  fi
  local ms; ms=$(awk '$1 == "print_ms" {print $2}' "$log")
  [ -n "$ms" ] || { record "$kind FAIL no-time"; return; }
  record "$kind $ms $out"
  record "$kind-process $(( (t1 - t0) / 1000000 )) $out"
  [ -f "$work/layout.$kind" ] || sed -n 's/^page_layout //p' "$log" >"$work/layout.$kind"
}

run_chromium() {  # n
  local n=$1 out=$work/out/chromium-$1.pdf profile t0 t1 status=0
  profile=$(mktemp -d "$work/profile.XXXXXX")
  t0=$(now_ns)
  timeout -k 5 "$timeout" chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --no-pdf-header-footer --print-to-pdf="$out" "$book_url" \
    >"$work/chromium-$n.log" 2>&1 || status=$?
  t1=$(now_ns)
  rm -rf "$profile"
  if [ "$status" != 0 ] || [ ! -s "$out" ]; then
    record "chromium FAIL exit-$status"; return
  fi
  record "chromium $(( (t1 - t0) / 1000000 )) $out"
}

echo "== DA1011 whole-book print benchmark"
echo "date:     $(date -Is)"
echo "machine:  $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
echo "system:   $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r), Qt $(qtpaths6 --qt-version 2>/dev/null || echo '?')"
echo "chromium: $(chromium --version 2>/dev/null | head -1)"
echo "book:     $book ($(stat -c %s "$book") bytes)"
echo "runs:     $runs of ours and chromium (alternating, after one untimed warm-up each), $qt_runs of qt-print; timeout $timeout s per run"
echo "load:     $(cut -d" " -f1-3 /proc/loadavg) (1/5/15 min) at start"
echo

# Warm-up: the first start of each program reads its libraries from disk.
: >"$work/results"
echo "== warming up"
run_ours warmup 0
run_chromium 0
: >"$work/results"

for n in $(seq "$runs"); do
  echo "== run $n/$runs"
  run_ours ours "$n"
  run_chromium "$n"
  run_ours ours-2cm "$n" --margins-mm -1
done
for n in $(seq "$qt_runs"); do
  echo "== qt-print run $n/$qt_runs (can take a while)"
  run_ours qt-print "$n" --qt-print
done
echo

set +e
python3 - "$work/results" "$last_sentence" "$work" "$keep" <<'EOF'
import os, re, shutil, statistics, subprocess, sys

results, sentence, work, keep = sys.argv[1:5]
runs = {}
for line in open(results):
    kind, value, *rest = line.split(maxsplit=2)
    runs.setdefault(kind, []).append((value, rest[0].strip() if rest else ""))

def pdf_facts(path):
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    pages = re.search(r"^Pages:\s+(\d+)", info, re.M)
    tagged = re.search(r"^Tagged:\s+(\w+)", info, re.M)
    text = subprocess.run(["pdftotext", "-q", path, "-"], capture_output=True, text=True).stdout
    # pdftotext may break the sentence across lines; compare with whitespace folded.
    found = sentence in " ".join(text.split())
    return {"size": os.path.getsize(path), "pages": int(pages.group(1)) if pages else None,
            "text": found, "tagged": tagged.group(1) if tagged else "?"}

rows = {}
for kind, entries in runs.items():
    ok = [(int(v), f) for v, f in entries if v != "FAIL"]
    failed = [f for v, f in entries if v == "FAIL"]
    row = {"runs": len(entries), "ok": len(ok), "failed": failed}
    if ok:
        times = [t for t, _ in ok]
        row["median"] = statistics.median(times)
        row["min"], row["max"] = min(times), max(times)
        facts = [pdf_facts(f) for _, f in ok]
        sizes = [x["size"] for x in facts]
        row["size"] = statistics.median(sizes)
        row["size_spread"] = max(sizes) - min(sizes)
        row["pages"] = sorted({x["pages"] for x in facts})
        row["text"] = all(x["text"] for x in facts)
        row["tagged"] = facts[0]["tagged"]
        if keep and not kind.endswith("-process"):
            os.makedirs(keep, exist_ok=True)
            shutil.copy(ok[-1][1], os.path.join(keep, kind + ".pdf"))
    rows[kind] = row

def kb(n):
    return f"{n / 1024:,.0f} KiB" if n < 10 * 1024 * 1024 else f"{n / 1048576:,.1f} MiB"

chromium = rows.get("chromium", {})
labels = {
    "ours": "ours: PagePrinter, prompt->file",
    "chromium": "chromium --print-to-pdf, whole run",
    "qt-print": "qt-print: view.print() 300 dpi",
    "ours-2cm": "(ref) ours, printer's minimum margins",
    "ours-process": "(ref) ours, whole harness process",
    "ours-2cm-process": None,
    "qt-print-process": None,
}
header = f"{'path':<36} {'runs':>4} {'median ms':>10} {'min-max ms':>13} {'size':>10} {'pages':>6} {'text':>5} {'tagged':>6} {'time x':>7} {'size x':>7}"
print(header)
print("-" * len(header))
for kind in ["ours", "chromium", "qt-print", "ours-2cm", "ours-process"]:
    if kind not in rows or labels.get(kind) is None:
        continue
    r = rows[kind]
    if not r["ok"]:
        print(f"{labels[kind]:<36} {r['runs']:>4} {'failed: ' + ', '.join(r['failed'])}")
        continue
    tx = sx = "-"
    if kind != "chromium" and chromium.get("ok"):
        tx = f"{r['median'] / chromium['median']:.2f}"
        sx = f"{r['size'] / chromium['size']:.2f}"
    runs_s = f"{r['ok']}" + (f"/{r['runs']}" if r["failed"] else "")
    print(f"{labels[kind]:<36} {runs_s:>4} {r['median']:>10,.0f} {str(r['min']) + '-' + str(r['max']):>13} "
          f"{kb(r['size']):>10} {','.join(map(str, r['pages'])):>6} {'yes' if r['text'] else 'NO':>5} "
          f"{r['tagged']:>6} {tx:>7} {sx:>7}")
    if r["failed"]:
        print(f"{'':<36} failed runs: {', '.join(r['failed'])}")
    if r["size_spread"]:
        print(f"{'':<36} sizes vary by {r['size_spread']} bytes between runs")
print()
for kind in ["ours", "ours-2cm", "qt-print"]:
    path = os.path.join(work, "layout." + kind)
    if os.path.exists(path):
        print(f"page layout given ({kind}): {open(path).read().strip()}")
print("chromium's page layout: the book's own @page rule (A4, 2 cm margins)")
print()

ours = rows.get("ours", {})
verdicts = []
if not ours.get("ok") or not chromium.get("ok"):
    verdicts.append(("both ours and chromium produce a PDF", False, "no figures"))
else:
    t = ours["median"] / chromium["median"]
    s = ours["size"] / chromium["size"]
    verdicts.append(("time: ours <= 1.0x chromium's whole run", t <= 1.0, f"{t:.2f}x"))
    verdicts.append(("size: ours <= chromium's", s <= 1.0, f"{s:.2f}x"))
    verdicts.append(("text: last sentence extractable from ours", ours["text"],
                     "yes" if ours["text"] else "no"))
    if ours["failed"]:
        verdicts.append(("every run of ours finished", False, f"{len(ours['failed'])} failed"))
for what, ok, figure in verdicts:
    print(f"{'PASS' if ok else 'FAIL'}  {what:<44} {figure}")
qt = rows.get("qt-print")
if qt:
    if qt["ok"]:
        print(f"info  qt-print takes {qt['median'] / ours['median']:.1f}x ours and is "
              f"{qt['size'] / ours['size']:.0f}x its size; text extractable: {'yes' if qt['text'] else 'no'}"
              if ours.get("ok") else "info  qt-print finished")
    else:
        print(f"info  qt-print did not finish: {', '.join(qt['failed'])}")
sys.exit(0 if all(ok for _, ok, _ in verdicts) else 3)
EOF
status=$?
set -e
echo "load:     $(cut -d" " -f1-3 /proc/loadavg) (1/5/15 min) at end"
exit $status
