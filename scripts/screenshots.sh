#!/usr/bin/env bash
# Takes the README's pictures: the welcome window, and the reader window showing the sample
# book, each on a virtual screen with a window manager. Writes docs/welcome.png and
# docs/reader.png. Installs what is missing and builds first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" screenshots
"$root/scripts/build.sh"
source "$root/tests/support/virtual_screen.sh"
with_work_folder

cp -r "$root/build/app" "$work/app"
start_virtual_screen
export DISPLAY=$display
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="da1011.startup.info=true"

# shot FLAG MILESTONE WINDOW_TITLE OUTPUT
shot() {
  printf '%b' "$1" >"$work/app/dontshow.txt"
  "$work/app/DA1011" >"$work/log" 2>&1 & local app=$!
  for _ in $(seq 300); do grep -q "$2" "$work/log" && break; sleep 0.1; done
  grep -q "$2" "$work/log" || { cat "$work/log"; echo "no '$2'" >&2; exit 1; }
  sleep 1  # let the last paint settle
  local id
  id=$(xdotool search --name "^$3\$" | head -n 1)
  import -window root "$work/root.png"
  # The window with its frame: the window manager tells how far the frame reaches.
  local frame extents
  extents=$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  frame=$(xwininfo -id "$id" | awk -v e="$extents" '
    BEGIN { split(e, f, " ") }
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF }
    END { print w + f[1] + f[2] "x" h + f[3] + f[4] "+" x - f[1] "+" y - f[3] }')
  convert "$work/root.png" -crop "$frame" +repage "$4"
  kill "$app"; wait "$app" 2>/dev/null || true
  echo "wrote $4 ($frame)"
}

shot '' "welcome window shown" "Get Our Quorvel Weekly ezine FREE!" "$root/docs/welcome.png"
shot '1\r\n' "page loaded" "Quorvel 101" "$root/docs/reader.png"
