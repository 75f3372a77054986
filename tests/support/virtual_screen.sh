# Sourced by the scripts that start the program on a real X server.
#   with_work_folder       makes $work and, on exit, ends the program ($app_pid), any other
#                          processes the caller started ($helper_pids), the window manager
#                          and the server, and removes $work; also defines fail()
with_work_folder() {
  work=$(mktemp -d)
  helper_pids=()
  fail() { echo "FAIL: $*" >&2; exit 1; }
  trap 'end_virtual_screen; rm -rf "$work"' EXIT
}
end_virtual_screen() {
  local pid
  for pid in ${app_pid:-} "${helper_pids[@]}" ${wm_pid:-} ${xvfb_pid:-}; do
    kill "$pid" 2>/dev/null || true
  done
}

#   start_virtual_screen [WxHxD]
#                          starts Xvfb (1280x800x24 unless given) on a free display and
#                          openbox on it; sets display, xvfb_pid and wm_pid (the caller's
#                          clean-up ends both)
start_virtual_screen() {
  # The server picks a free display number itself, so parallel runs never share one.
  local display_fd number
  exec {display_fd}<> <(:)
  Xvfb -displayfd "$display_fd" -screen 0 "${1:-1280x800x24}" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 10 number <&"$display_fd" || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
  exec {display_fd}<&-
  display=:$number
  for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
  # Windows mapped before the window manager has claimed the screen are not maximised, and
  # wmctrl cannot list or close windows until it publishes its client list. On a busy machine
  # openbox can take seconds to get there; one that gives up is started again, and if none
  # takes the screen within 30 s the caller fails with what openbox said.
  local wm_log ready= _
  wm_log=$(mktemp)
  for _ in 1 2 3; do
    DISPLAY=$display openbox >>"$wm_log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 200); do
      if DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
         DISPLAY=$display xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -qv 'not found'; then
        ready=1
        break 2
      fi
      kill -0 "$wm_pid" 2>/dev/null || { echo "(openbox ended on $display)" >>"$wm_log"; break; }
      sleep 0.05
    done
    kill "$wm_pid" 2>/dev/null || true
  done
  [[ -n $ready ]] || {
    cat "$wm_log" >&2
    rm -f "$wm_log"
    echo "FAIL: the window manager did not take the screen $display" >&2
    exit 1
  }
  rm -f "$wm_log"
}
