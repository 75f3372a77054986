#!/usr/bin/env bash
# Packs the portable archive, unpacks it into a fresh folder and starts the program from
# there, as a reader who downloaded it would: the welcome window must come up, and closing
# it must end the program cleanly without touching the flag file.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
source "$(dirname "$0")/../support/virtual_screen.sh"
with_work_folder

(cd "$build" && cpack -G TGZ -B "$work/pack" >/dev/null) || fail "cpack failed"
archive=$(ls "$work"/pack/DA1011-*.tar.gz)
mkdir "$work/unpacked"
tar -xzf "$archive" -C "$work/unpacked"
tops=$(ls "$work/unpacked")
[[ $(echo "$tops" | wc -l) -eq 1 ]] || fail "the archive has more than one top folder: $tops"
app="$work/unpacked/$tops"
for file in DA1011 lib/DA1011 lib/DA1011-reader.so start.html "Quorvel 101.HTM" dontshow.txt DA1011.png DA1011.desktop; do
  [[ -e "$app/$file" ]] || fail "$file is missing from the package"
done
[[ ! -s "$app/dontshow.txt" ]] || fail "the packed flag file is not empty"
ls "$app"/*.py >/dev/null 2>&1 && fail "build scripts were packed"

# A real X server and window manager, so the window is closed the way a user closes it.
start_virtual_screen

log="$work/app.log"
# A config folder of its own: a choice kept there by an earlier run must not skip the welcome.
export XDG_CONFIG_HOME="$work/config"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1

# start_until MILESTONE: starts the unpacked program from another folder and waits for the
# milestone it logs.
start_until() {
  (cd / && DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="da1011.startup.info=true" \
    "$app/DA1011" >"$log" 2>&1) & app_pid=$!
  for _ in $(seq 300); do grep -q "$1" "$log" && break; sleep 0.1; done
  grep -q "$1" "$log" || { cat "$log"; fail "no '$1' from the program"; }
}

# close_and_expect_clean_end TITLE: closes the window through the window manager; the
# program must end on its own with exit code 0.
close_and_expect_clean_end() {
  # The window manager may still be taking the new window on, slowly on a busy machine.
  local closed=""
  for _ in $(seq 300); do
    DISPLAY=$display wmctrl -c "$1" 2>/dev/null && { closed=1; break; }
    sleep 0.1
  done
  [[ -n $closed ]] || {
    DISPLAY=$display wmctrl -l >&2 || echo "(the window manager lists no windows)" >&2
    kill -0 "$app_pid" 2>/dev/null || echo "(the program is no longer running)" >&2
    cat "$log" >&2
    fail "could not close the window '$1'"
  }
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "the program did not end when '$1' was closed"
  local code=0
  wait "$app_pid" || code=$?
  app_pid=""
  [[ $code -eq 0 ]] || fail "the program ended with exit code $code after '$1' was closed"
}

start_until "welcome window shown"
pgrep -f QtWebEngineProcess -P "$app_pid" >/dev/null && fail "the welcome window started the web engine"
grep -q libQt6WebEngineCore "/proc/$app_pid/maps" && fail "the welcome window loaded the web engine"
close_and_expect_clean_end "Get Our Quorvel Weekly ezine FREE!"
[[ ! -s "$app/dontshow.txt" ]] || fail "the flag file was written"

# With the flag set, the book opens at once from the reader plugin in the program's lib/ folder.
printf '1\r\n' >"$app/dontshow.txt"
start_until "page loaded"
close_and_expect_clean_end "Quorvel 101"
echo "package: $(basename "$archive") unpacked; welcome window shown and closed cleanly; book opened and closed cleanly"
