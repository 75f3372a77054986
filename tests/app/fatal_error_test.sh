#!/usr/bin/env bash
# A fatal error is always shown and ends the program with a non-zero exit code: with the
# flag set and the reader plugin missing, the last-resort message must stay on screen until
# the user closes it, the program must then end with exit code 1, and the flag file must
# keep its bytes.
#   fatal_error_test.sh APP_DIR
set -euo pipefail
app_dir=$1
source "$(dirname "$0")/../support/virtual_screen.sh"
with_work_folder

cp -a "$app_dir" "$work/app"
rm "$work/app/lib/DA1011-reader.so"
printf '1\r\n' >"$work/app/dontshow.txt"

start_virtual_screen

log="$work/app.log"
(cd / && DISPLAY=$display QT_QPA_PLATFORM=xcb "$work/app/DA1011" >"$log" 2>&1) & app_pid=$!

for _ in $(seq 300); do
  DISPLAY=$display wmctrl -l 2>/dev/null | grep -q ' DA1011$' && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null || { cat "$log"; fail "the program ended before its error was seen"; }
DISPLAY=$display wmctrl -l | grep -q ' DA1011$' || { cat "$log"; fail "no message box"; }
grep -q "run-time error 53" "$log" || { cat "$log"; fail "the error was not reported"; }
sleep 1
kill -0 "$app_pid" 2>/dev/null || fail "the message box closed by itself"

DISPLAY=$display wmctrl -c DA1011 || fail "could not close the message box"
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end when its message was closed"
code=0
wait "$app_pid" || code=$?
app_pid=""
[[ $code -eq 1 ]] || fail "the program ended with exit code $code, not 1"
[[ $(od -An -tx1 "$work/app/dontshow.txt" | tr -d ' \n') == 310d0a ]] || fail "the flag file changed"
echo "fatal error: message shown until closed, exit code 1, flag file kept"
