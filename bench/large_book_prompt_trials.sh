#!/usr/bin/env bash
# "Print Entire Book" on a large book: does the print prompt always come, and how soon?
#
# Makes a copy of the built application folder whose whole-book page holds the sample's
# chapters REPEAT times (17 gives about 1,200 A4 pages), sets the flag so the reader opens at
# once, and for each trial starts the real program under Xvfb with a window manager, waits
# for the reader window, clicks "Print Entire Book" after a delay (cycling through the
# delays below, the first while the start page is still loading) and times how long it takes
# from the click until the print prompt is on screen. The prompt is then cancelled and the
# program closed. Builds the program first (configuring build/ when needed). Needs xdotool
# (scripts/install-deps.sh screenshots).
#
# Usage: bench/large_book_prompt_trials.sh [-n TRIALS] [-r REPEAT] [-w WAIT_S] [-d "DELAYS"]
#   -n TRIALS   number of trials (default 10)
#   -r REPEAT   how often the chapters are repeated (default 17)
#   -w WAIT_S   give up on a prompt after this many seconds (default 120)
#   -d DELAYS   seconds between the window appearing and the click (default "0 0.3 1 2 4")
# Output: one line per trial, then "prompted N of M" and the slowest prompt.
# Exit status: 0 every trial prompted, 3 a trial did not, 1 an error.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/configured_build.sh"
build=${BUILD_DIR:-$root/build}
trials=10
repeat=17
wait_s=120
delays="0 0.3 1 2 4"
while [ $# -gt 0 ]; do
  case $1 in
    -n) trials=${2:?}; shift 2 ;;
    -r) repeat=${2:?}; shift 2 ;;
    -w) wait_s=${2:?}; shift 2 ;;
    -d) delays=${2:?}; shift 2 ;;
    *) echo "usage: $0 [-n TRIALS] [-r REPEAT] [-w WAIT_S] [-d DELAYS]" >&2; exit 2 ;;
  esac
done
die() { echo "large_book_prompt_trials: $*" >&2; exit 1; }
for tool in Xvfb openbox wmctrl xdotool xdpyinfo python3; do
  command -v "$tool" >/dev/null || die "$tool is missing"
done
install_build_packages
echo "== building"
{ configure_build && cmake --build "$build" --target DA1011; } >/dev/null || die "build failed"
[[ -x $build/app/DA1011 ]] || die "missing $build/app/DA1011"

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

app="$work/app"
cp -a "$build/app" "$app"
python3 - "$app/Quorvel 101.HTM" "$repeat" <<'EOF'
import sys
path, repeat = sys.argv[1], int(sys.argv[2])
text = open(path, encoding="utf-8").read()
start = text.index(">", text.index("<body")) + 1
end = text.rindex("</body>")
open(path, "w", encoding="utf-8").write(text[:start] + text[start:end] * repeat + text[end:])
EOF
printf '1\r\n' >"$app/dontshow.txt"

source "$(dirname "$0")/../tests/support/virtual_screen.sh"
start_virtual_screen
export DISPLAY=$display
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1

now_ms() { date +%s%3N; }
window_titled() { wmctrl -l 2>/dev/null | grep -q " $1\$"; }

read -r -a delay_list <<<"$delays"
prompted=0
slowest=0
for trial in $(seq "$trials"); do
  delay=${delay_list[$(((trial - 1) % ${#delay_list[@]}))]}
  log="$work/trial$trial.log"
  QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="da1011.startup.info=true" "$app/DA1011" >"$log" 2>&1 &
  app_pid=$!
  for _ in $(seq 300); do window_titled "Quorvel 101" && break; sleep 0.1; done
  window_titled "Quorvel 101" || die "trial $trial: no reader window"
  shown=$(now_ms)
  sleep "$delay"
  id=$(xdotool search --onlyvisible --name '^Quorvel 101$' | head -1)
  # "Print Entire Book": 24 px from the left, 256 px from the top, 97 x 25 px.
  xdotool mousemove --window "$id" 72 268 click 1
  clicked=$(now_ms)
  result="no prompt within ${wait_s} s"
  for _ in $(seq $((wait_s * 10))); do
    if window_titled Print; then
      took=$(($(now_ms) - clicked))
      result="prompt after $took ms"
      prompted=$((prompted + 1))
      ((took > slowest)) && slowest=$took
      break
    fi
    sleep 0.1
  done
  loaded=$(grep -c "page loaded" "$log" || true)
  echo "trial $trial: click $((clicked - shown)) ms after the window appeared; $result; pages loaded: $loaded"
  window_titled Print && wmctrl -c Print
  sleep 0.3
  wmctrl -c "Quorvel 101" || true
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
done
echo "prompted $prompted of $trials; slowest prompt ${slowest} ms"
[[ $prompted -eq $trials ]] || exit 3
