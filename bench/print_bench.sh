#!/usr/bin/env bash
# Printing a whole book to a PDF file, DA1011 against Chromium's own headless print and against
# the bare web engine, for the sample book and for generated books of about 1,200 and 5,000
# pages (the sample's chapters over and over, see make_long_book.py):
#   ours      prompt confirmed ("Print to File (PDF)", A4, the reader's 2 cm margins) -> file in
#             place, through platform::PagePrinter: the page's PDF with running title,
#             "Page p of P", bookmarks and document information (bench/print_harness)
#   bare      QWebEnginePage::printToPdf() of the same loaded page straight into the file,
#             nothing added: the limit for ours (print_harness --bare)
#   chromium  chromium --headless --print-to-pdf of the same file, the whole command from
#             process start to exit
# Runs alternate between the three. For each: median time, file size, peak memory (PSS of the
# whole process tree, sampled every 50 ms), page count, and for ours whether every page says
# "Page p of P" and how many headings are left alone at the foot of a page.
#
# Ours runs as the reader's print job with its "Printing" window watching it.
#
# Usage: bench/print_bench.sh [-n RUNS] [-N LONG_RUNS] [--sizes "72 1200 5000"] [-t TIMEOUT_S]
#                             [--no-build] [--keep DIR] [--no-chromium] [--cancels RUNS]
#   -n RUNS        runs of each program for the sample and the 1,200-page book (default 5)
#   -N LONG_RUNS   runs for the 5,000-page book (default 3)
#   --sizes LIST   which books: 72 (the sample), 1200, 5000 (default all three)
#   -t TIMEOUT_S   give up on a run after this many seconds (default 900)
#   --no-build     use bench/print_harness as it is in the build folder
#   --keep DIR     copy one PDF of each kind and size to DIR
#   --no-chromium  compare ours with the bare engine only
#   --cancels RUNS also cancel ours RUNS times in each of its phases (laying out pages, 300 ms
#                  in; adding page numbers, 50 ms in) and give the median time from the cancel
#                  to the job's end, when the printer may print again; no file may be left
#
# Targets at every size: ours <= 0.6x chromium's time and <= 1.10x bare's, ours <= 0.6x
# chromium's size, ours' peak memory <= 1.0x chromium's. Exit status: 0 all met, 3 a target
# missed, 1 an error.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/configured_build.sh"
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-5}
long_runs=3
sizes="72 1200 5000"
timeout=900
do_build=1
keep=
chromium=1
cancels=0

die() { echo "print_bench: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
    -n|--runs) runs=${2:?}; shift 2 ;;
    -N|--long-runs) long_runs=${2:?}; shift 2 ;;
    --sizes) sizes=${2:?}; shift 2 ;;
    -t|--timeout) timeout=${2:?}; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --keep) keep=${2:?}; shift 2 ;;
    --no-chromium) chromium=0; shift ;;
    --cancels) cancels=${2:?}; shift 2 ;;
    -h|--help) sed -n '2,36p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown argument: $1 (try --help)" ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "runs must be a positive number: $runs"
[[ $long_runs =~ ^[1-9][0-9]*$ ]] || die "long runs must be a positive number: $long_runs"
[[ $timeout =~ ^[1-9][0-9]*$ ]] || die "timeout must be a whole number of seconds: $timeout"
for size in $sizes; do [[ $size =~ ^(72|1200|5000)$ ]] || die "unknown size: $size"; done

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
need_package() {  # command package
  command -v "$1" >/dev/null && return
  echo "== installing $2"
  as_root apt-get update -qq >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null
  command -v "$1" >/dev/null || die "$1 still missing after installing $2"
}
[ "$chromium" = 1 ] && need_package chromium chromium
need_package pdfinfo poppler-utils
need_package pdftotext poppler-utils
command -v timeout >/dev/null || die "timeout (coreutils) is needed"

work=$(mktemp -d "${TMPDIR:-/tmp}/da1011-print.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$do_build" = 1 ]; then
  install_build_packages
  echo "== building print_harness"
  { configure_build benchmarks && cmake --build "$build" --target print_harness; } \
    >"$work/build.log" 2>&1 \
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

book_for() {  # size -> path of the book's HTML file
  case $1 in
    72) echo "$root/book/Quorvel 101.HTM" ;;
    1200) echo "$work/books/1200/long.html" ;;
    5000) echo "$work/books/5000/long.html" ;;
  esac
}
for size in $sizes; do
  case $size in
    1200) python3 "$here/make_long_book.py" 17 "$work/books/1200" >/dev/null ;;
    5000) python3 "$here/make_long_book.py" 70 "$work/books/5000" >/dev/null ;;
  esac
done

# Each run appends "size kind ms pss_kib file" to $work/results; a failed run
# "size kind FAIL why".
record() { echo "$*" >>"$work/results"; }

run_harness() {  # size kind n extra-args...
  local size=$1 kind=$2 n=$3; shift 3
  local book out=$work/out/$size-$kind-$n.pdf log=$work/$size-$kind-$n.log status=0
  book=$(book_for "$size")
  python3 "$here/peak_memory.py" "$log.mem" timeout -k 5 "$timeout" "$harness" \
    --timeout "$timeout" "$@" "$book" "$out" >"$log" 2>"$log.err" || status=$?
  if [ "$status" != 0 ]; then
    local why="exit-$status"; [ "$status" = 124 ] && why="timeout-${timeout}s"
    record "$size $kind FAIL $why"; return
  fi
  local ms; ms=$(awk '$1 == "print_ms" {print $2}' "$log")
  [ -n "$ms" ] || { record "$size $kind FAIL no-time"; return; }
  record "$size $kind $ms $(awk '$1 == "peak_pss_kib" {print $2}' "$log.mem") $out"
}

run_chromium() {  # size n
  [ "$chromium" = 1 ] || return 0
  local size=$1 n=$2 book url out=$work/out/$1-chromium-$2.pdf profile status=0
  book=$(book_for "$size")
  url=file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$book")
  profile=$(mktemp -d "$work/profile.XXXXXX")
  python3 "$here/peak_memory.py" "$work/chromium.mem" timeout -k 5 "$timeout" chromium \
    --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --no-pdf-header-footer --print-to-pdf="$out" "$url" \
    >"$work/$size-chromium-$n.log" 2>&1 || status=$?
  rm -rf "$profile"
  if [ "$status" != 0 ] || [ ! -s "$out" ]; then
    record "$size chromium FAIL exit-$status"; return
  fi
  record "$size chromium $(awk '$1 == "wall_ms" {print $2}' "$work/chromium.mem")" \
    "$(awk '$1 == "peak_pss_kib" {print $2}' "$work/chromium.mem") $out"
}

echo "== DA1011 whole-book print benchmark"
echo "date:     $(date -Is)"
echo "machine:  $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
echo "system:   $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r), Qt $(qtpaths6 --qt-version 2>/dev/null || echo '?')"
[ "$chromium" = 1 ] && echo "chromium: $(chromium --version 2>/dev/null | head -1)"
echo "books:    $sizes (pages, about); $runs runs each ($long_runs at 5000), alternating, after one untimed warm-up"
echo "load:     $(cut -d" " -f1-3 /proc/loadavg) (1/5/15 min) at start"
echo

: >"$work/results"
echo "== warming up"
run_harness 72 ours 0
run_harness 72 bare 0 --bare
run_chromium 72 0
: >"$work/results"

for size in $sizes; do
  n_runs=$runs; [ "$size" = 5000 ] && n_runs=$long_runs
  for n in $(seq "$n_runs"); do
    echo "== $size pages, run $n/$n_runs ($(date +%H:%M:%S))"
    # The order turns from run to run, so no program always follows the same one.
    case $(( n % 3 )) in
      1) run_harness "$size" ours "$n"; run_harness "$size" bare "$n" --bare; run_chromium "$size" "$n" ;;
      2) run_chromium "$size" "$n"; run_harness "$size" ours "$n"; run_harness "$size" bare "$n" --bare ;;
      0) run_harness "$size" bare "$n" --bare; run_chromium "$size" "$n"; run_harness "$size" ours "$n" ;;
    esac
  done
done
echo

# Cancel timings: "size phase ms" a line, or "size phase FAIL".
: >"$work/cancels"
for size in $sizes; do
  for n in $(seq "$cancels"); do
    for phase in layout:300 finishing:50; do
      log=$work/$size-cancel-$n.log status=0
      timeout -k 5 "$timeout" "$harness" --timeout "$timeout" --cancel-at "${phase%%:*}" \
        --cancel-after "${phase##*:}" "$(book_for "$size")" "$work/out/cancelled.pdf" \
        >"$log" 2>"$log.err" || status=$?
      ms=$(awk '$1 == "cancel_ms" {print $2}' "$log")
      settled=$(awk '$1 == "settled_ms" {print $2}' "$log")
      if [ "$status" = 0 ] && [ -n "$ms" ] && [ -n "$settled" ]; then
        echo "$size ${phase%%:*} $ms $settled" >>"$work/cancels"
      else
        echo "$size ${phase%%:*} FAIL -" >>"$work/cancels"
      fi
    done
  done
done
if [ -s "$work/cancels" ]; then
  echo "cancel -> job ended, and -> its work on pool threads stopped (median ms, runs):"
  python3 - "$work/cancels" <<'CANCELS'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    size, phase, value, settled = line.split()
    runs.setdefault((int(size), phase), []).append((value, settled))
for (size, phase), values in sorted(runs.items()):
    ok = [(int(v), int(s)) for v, s in values if v != "FAIL"]
    median = f"{statistics.median(v for v, _ in ok):,.0f}" if ok else "-"
    settled = f"{statistics.median(s for _, s in ok):,.0f}" if ok else "-"
    print(f"  {size:>5} {phase:<10} {median:>7} ms {settled:>7} ms  {len(ok)}/{len(values)} runs"
          + ("" if len(ok) == len(values) else "  (the others ended before the cancel came)"))
CANCELS
  echo
fi

set +e
python3 - "$work/results" "$keep" "$here" "$root/book/Quorvel 101.HTM" "$work/books" <<'EOF'
import os, re, shutil, statistics, subprocess, sys

results, keep, here, sample, books = sys.argv[1:6]
runs = {}
for line in open(results):
    size, kind, value, *rest = line.split()
    runs.setdefault((int(size), kind), []).append((value, rest))

def pdf_facts(path, size):
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
    text = subprocess.run(["pdftotext", "-q", path, "-"], capture_output=True, text=True).stdout
    numbered = sum(1 for p in range(1, pages + 1)
                   if re.search(r"Page\s+%d\s+of\s+%d\b" % (p, pages), text))
    book = sample if size == 72 else os.path.join(books, str(size), "long.html")
    stranded = subprocess.run([sys.executable, os.path.join(here, "stranded_headings.py"), book,
                               path], capture_output=True, text=True).stdout.strip()
    return {"size": os.path.getsize(path), "pages": pages, "numbered": numbered,
            "stranded": stranded}

rows = {}
for (size, kind), entries in runs.items():
    ok = [(int(v), int(rest[0]), rest[1]) for v, rest in entries if v != "FAIL"]
    failed = [rest[0] for v, rest in entries if v == "FAIL"]
    row = {"runs": len(entries), "ok": len(ok), "failed": failed}
    if ok:
        row["ms"] = statistics.median(t for t, _, _ in ok)
        row["pss"] = statistics.median(m for _, m, _ in ok)
        row["facts"] = pdf_facts(ok[-1][2], size)
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(ok[-1][2], os.path.join(keep, "%d-%s.pdf" % (size, kind)))
    rows[(size, kind)] = row

def mib(kib):
    return f"{kib / 1024:,.0f} MiB"

def size_s(n):
    return f"{n / 1024:,.0f} KiB" if n < 10 * 1048576 else f"{n / 1048576:,.1f} MiB"

verdicts = []
header = (f"{'book':>5} {'program':<9} {'runs':>4} {'median ms':>10} {'size':>10} {'peak PSS':>10} "
          f"{'pages':>6} {'x chr time':>10} {'x bare time':>11} {'x chr size':>10} {'x chr mem':>9}")
print(header)
print("-" * len(header))
for size in sorted({s for s, _ in rows}):
    chromium, bare = rows.get((size, "chromium"), {}), rows.get((size, "bare"), {})
    for kind in ["ours", "bare", "chromium"]:
        r = rows.get((size, kind))
        if not r:
            continue
        if not r["ok"]:
            print(f"{size:>5} {kind:<9} {r['runs']:>4} failed: {', '.join(r['failed'])}")
            continue
        f = r["facts"]
        ratios = ["-", "-", "-", "-"]
        if kind != "chromium" and chromium.get("ok"):
            ratios[0] = f"{r['ms'] / chromium['ms']:.2f}"
            ratios[2] = f"{f['size'] / chromium['facts']['size']:.2f}"
            ratios[3] = f"{r['pss'] / chromium['pss']:.2f}"
        if kind == "ours" and bare.get("ok"):
            ratios[1] = f"{r['ms'] / bare['ms']:.2f}"
        runs_s = f"{r['ok']}" + (f"/{r['runs']}" if r["failed"] else "")
        print(f"{size:>5} {kind:<9} {runs_s:>4} {r['ms']:>10,.0f} {size_s(f['size']):>10} "
              f"{mib(r['pss']):>10} {f['pages']:>6} {ratios[0]:>10} {ratios[1]:>11} "
              f"{ratios[2]:>10} {ratios[3]:>9}")
    ours = rows.get((size, "ours"), {})
    if ours.get("ok"):
        f = ours["facts"]
        print(f"{'':>5} ours: 'Page p of P' on {f['numbered']} of {f['pages']} pages; "
              f"stranded headings: {f['stranded']}")
    if ours.get("ok") and bare.get("ok") and not chromium:
        b = ours["ms"] / bare["ms"]
        verdicts.append((f"{size}: time <= 1.10x bare engine's", b <= 1.10, f"{b:.2f}x"))
        continue
    if not (ours.get("ok") and chromium.get("ok") and bare.get("ok")):
        verdicts.append((f"{size}: ours, bare and chromium all produce a PDF", False, "no figures"))
        continue
    t = ours["ms"] / chromium["ms"]
    b = ours["ms"] / bare["ms"]
    s = ours["facts"]["size"] / chromium["facts"]["size"]
    m = ours["pss"] / chromium["pss"]
    verdicts += [
        (f"{size}: time <= 0.6x chromium's", t <= 0.6, f"{t:.2f}x"),
        (f"{size}: time <= 1.10x bare engine's", b <= 1.10, f"{b:.2f}x"),
        (f"{size}: size <= 0.6x chromium's", s <= 0.6, f"{s:.2f}x"),
        (f"{size}: peak memory <= 1.0x chromium's", m <= 1.0, f"{m:.2f}x"),
        (f"{size}: every page numbered", ours["facts"]["numbered"] == ours["facts"]["pages"],
         f"{ours['facts']['numbered']}/{ours['facts']['pages']}"),
    ]
print()
for what, ok, figure in verdicts:
    print(f"{'PASS' if ok else 'FAIL'}  {what:<44} {figure}")
sys.exit(0 if all(ok for _, ok, _ in verdicts) else 3)
EOF
status=$?
set -e
echo "load:     $(cut -d" " -f1-3 /proc/loadavg) (1/5/15 min) at end"
exit $status
