#!/usr/bin/env bash
# The whole-book search (Ctrl+Shift+F) on the sample book and on a generated book of 500
# chapters in 5,000 pages (make_paged_book.py): first search (the pages read and kept) and
# later searches, time to the first results, the longest stall of the window's event loop
# during a search (and of an idle loop, for the machine's own noise), and the memory of the
# kept text against the size of the book's text. A third book, "heavy", is three pages of
# 16 MiB (the largest read) of "é" in windows-1252, whose text is twice its bytes in UTF-8:
# its kept text against its text, and the process's memory before the first search, after
# the last (the text kept) and at its peak. On each book, how often the first search says how
# far it has read (reading_reports), and a first search cancelled at its first such report:
# the time until its worker lets go (cancel_ms) and the pages it opens meanwhile
# (read_after_cancel). Medians over RUNS processes.
#
# Usage: bench/search_bench.sh [-n RUNS]
# Targets: sample first <= 150 ms, later <= 20 ms; long book first <= 2,000 ms, first results
# <= 300 ms, later <= 200 ms; stall <= 50 ms; kept text <= 3x the text (kept_ratio), and
# never more than the index's ceiling of 128 MiB; cancel_ms <= 1,000 ms, read_after_cancel <= 1.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=5
[ "${1:-}" = -n ] && runs=${2:?}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default -S "$root" >/dev/null
fi
cmake -DDA1011_BUILD_BENCHMARKS=ON "$build" >/dev/null
cmake --build "$build" --target search_harness >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/da1011-search.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 "$here/make_paged_book.py" 500 10 "$work/long" >/dev/null
python3 - "$work/heavy" <<'EOF'
import os, sys
out = sys.argv[1]
os.makedirs(out)
links = "".join(f'<a href="e{i}.html">{i}</a>' for i in range(3))
open(os.path.join(out, "start.html"), "w").write(f"<p>tally knot {links}")
head = b"<meta charset=windows-1252><p>"
for i in range(3):
    with open(os.path.join(out, f"e{i}.html"), "wb") as page:
        page.write(head + b"\xe9" * ((16 << 20) - len(head)))
EOF
export QT_QPA_PLATFORM=offscreen

for book in "sample:$root/book" "long:$work/long" "heavy:$work/heavy"; do
  name=${book%%:*} folder=${book#*:}
  for i in $(seq "$runs"); do
    # Above the index's ceiling every later search of the heavy book reads it again: one is enough.
    later=5
    [ "$name" = heavy ] && later=1
    "$build/bench/search_harness" "$folder" tally knot "$later" 2>/dev/null >"$work/$name.$i"
    awk '$1 == "kept_bytes" {k = $2} $1 == "text_bytes" {t = $2}
         END {if (t > 0) printf "kept_ratio %.3f\n", k / t}' "$work/$name.$i" >>"$work/$name.$i"
  done
  echo "== $name book ($runs runs, medians)"
  for key in first_ms first_results_ms later_ms later_first_results_ms stall_ms idle_stall_ms \
             reading_reports cancel_ms read_after_cancel \
             matches searched skipped kept_bytes text_bytes kept_ratio rss_before_mib \
             rss_after_mib peak_rss_mib; do
    cat "$work/$name".* | awk -v k="$key" '$1 == k {print $2}' | sort -n \
      | awk -v k="$key" '{v[NR]=$1} END {m = NR % 2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2;
                                         printf "%-24s %s\n", k, m}'
  done
done
