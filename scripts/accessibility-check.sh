#!/usr/bin/env bash
# Shows the program as a screen reader sees it: starts it on a virtual screen with the
# accessibility bus switched on (as a screen reader switches it on), prints the welcome
# window's accessibility tree, presses "Start Book" through its accessible action, prints the
# reader window's tree with the start of the book page, then opens the find bar with Ctrl+F.
# Installs what is missing and builds first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ -z "${DA1011_A11Y_SESSION:-}" ]]; then
  "$root/scripts/install-deps.sh" accessibility
  "$root/scripts/build.sh"
  exec env DA1011_A11Y_SESSION=1 dbus-run-session -- bash "$0" "$@"
fi

source "$root/tests/support/virtual_screen.sh"
with_work_folder
cp -r "$root/build/app" "$work/app"
: >"$work/app/dontshow.txt"

start_virtual_screen
export DISPLAY=$display
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & helper_pids+=($!)
sleep 1
for flag in IsEnabled ScreenReaderEnabled; do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status "string:$flag" \
    variant:boolean:true >/dev/null
done
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
QT_QPA_PLATFORM=xcb "$work/app/DA1011" >"$work/log" 2>&1 & app_pid=$!

cat >"$work/tree.py" <<'PY'
import subprocess
import sys
import time

import pyatspi


def application(name, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.5)
    sys.exit(f"{name} did not appear on the accessibility bus")


def show(node, depth=0, budget=None):
    """Prints the tree; a web document only as far as its budget of lines goes."""
    if node is None or (budget is not None and budget[0] <= 0):
        return
    if budget is not None:
        budget[0] -= 1
    states = node.getState()
    marks = " (focused)" if states.contains(pyatspi.STATE_FOCUSED) else ""
    if not states.contains(pyatspi.STATE_SHOWING) and node.getRoleName() != "application":
        marks += " (not showing)"
    print(f'{"  " * depth}{node.getRoleName()} "{node.name}"{marks}')
    if node.getRoleName() == "document web" and budget is None:
        budget = [16]
    for i in range(node.childCount):
        show(node.getChildAtIndex(i), depth + 1, budget)
    if node.getRoleName() == "document web":
        print(f'{"  " * (depth + 1)}...')


def find(node, role, name, depth=0):
    if node is None or depth > 40:
        return None
    if node.getRoleName() == role and node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), role, name, depth + 1)
        if found:
            return found
    return None


app = application("DA1011")
time.sleep(2)
print("== The welcome window")
show(app)
start = find(app, "push button", "Start Book")
start.queryAction().doAction(0)
time.sleep(8)
print('\n== After "Start Book": the reader window and the start of the book page')
show(application("DA1011"))
subprocess.run(["xdotool", "search", "--name", "^Quorvel 101$", "windowactivate", "--sync"])
subprocess.run(["xdotool", "key", "ctrl+f"], check=True)
time.sleep(1)
subprocess.run(["xdotool", "type", "knot"], check=True)
time.sleep(2)
print("\n== Ctrl+F and typing 'knot'")
show(find(app, "tool bar", "Find in page"))
PY
/usr/bin/python3 "$work/tree.py"  # the system Python, which has pyatspi
