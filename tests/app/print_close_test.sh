#!/usr/bin/env bash
# Closing the reader while a print job is stuck in the page (its beforeprint handler never
# returns) must end the program within seconds, with exit code 0 and no message left behind.
#   print_close_test.sh APP_DIR HOSTILE_PAGES_DIR
set -euo pipefail
app_dir=$1
hostile=$2
source "$(dirname "$0")/../support/virtual_screen.sh"
with_work_folder

cp -a "$app_dir" "$work/app"
cp "$hostile/print-hang.html" "$work/app/start.html"
printf '1\r\n' >"$work/app/dontshow.txt"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1

start_virtual_screen

log="$work/app.log"
(cd "$work" && DISPLAY=$display QT_QPA_PLATFORM=xcb \
  QT_LOGGING_RULES="da1011.startup.info=true;da1011.page.debug=true" \
  "$work/app/DA1011" >"$log" 2>&1) & app_pid=$!

# wait_for WHAT COMMAND...: up to 30 seconds for the command to succeed.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 300); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$app_pid" 2>/dev/null || { cat "$log"; fail "the program ended while waiting for $what"; }
    sleep 0.1
  done
  cat "$log"
  fail "no $what"
}
window_shown() { DISPLAY=$display wmctrl -l | grep -q " $1\$"; }
# press_in TITLE KEY: the key in the shown window of that title. The toolkit may still be
# mapping or replacing it, so a window that vanished under xdotool is looked up again.
press_in() {
  local id
  for _ in $(seq 50); do
    for id in $(DISPLAY=$display xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      DISPLAY=$display xdotool windowactivate --sync "$id" key "$2" 2>/dev/null && return 0
    done
    sleep 0.1
  done
  fail "could not press $2 in the window $1"
}

wait_for "page loaded" grep -q "page loaded" "$log"
wait_for "reader window" window_shown "Quorvel 101"
press_in "Quorvel 101" ctrl+p
wait_for "print prompt" window_shown "Print"
press_in Print Return
wait_for "print job" grep -q "a print job started" "$log"

DISPLAY=$display wmctrl -c "Quorvel 101" || fail "could not close the reader window"
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  window_shown DA1011 && fail "a message was left behind: $(DISPLAY=$display wmctrl -l)"
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end within 10 seconds of closing the reader"
code=0
wait "$app_pid" || code=$?
app_pid=""
[[ $code -eq 0 ]] || { cat "$log"; fail "the program ended with exit code $code, not 0"; }
echo "stuck print job: reader closed, program ended at once with exit code 0"
