#!/usr/bin/env bash
# Builds the Debian package, checks it with the validators, installs it with apt-get into
# this machine and uses it as a freshly created ordinary user would, on a virtual screen
# with a window manager: the menu entry's command shows the welcome window; ticking
# "Don't Show This Screen Again." and pressing "Start Book" opens the book without a
# message and keeps the choice in the user's config folder (the installed folder is
# read-only for the user); the next start goes straight to the book. Purging the package
# must leave none of its files behind. Needs root; exits 77 (skipped) otherwise.
#   deb_package_test.sh BUILD_DIR
set -euo pipefail
build=$1
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$(dirname "$0")/../support/virtual_screen.sh"

[[ $(id -u) -eq 0 ]] || skip "installing a package and creating a user need root"
for tool in apt-get dpkg-shlibdeps file lintian appstreamcli desktop-file-validate useradd runuser \
            Xvfb openbox xdotool wmctrl; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh test)"
done
dpkg-query -W -f='${Status}' da1011 2>/dev/null | grep -q "installed" \
  && skip "da1011 is already installed here; this test would replace and purge it"

work=$(mktemp -d)
user=da1011-$$
cleanup() {
  [[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n ${wm_pid:-} ]] && kill "$wm_pid" 2>/dev/null || true
  [[ -n ${xvfb_pid:-} ]] && kill "$xvfb_pid" 2>/dev/null || true
  if id "$user" >/dev/null 2>&1; then
    # the web engine's helpers, should any be left: every process of the test's own user
    ps -o pid= -u "$user" | xargs -r kill 2>/dev/null || true
    userdel -r "$user" 2>/dev/null || true
  fi
  if [[ -n ${installed:-} ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=600 da1011 \
      >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/pack" >"$work/cpack.log" 2>&1) \
  || { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(ls "$work"/pack/da1011_*_amd64.deb)
[[ $(basename "$deb") == da1011_1.0.0_amd64.deb ]] || fail "unexpected package name $(basename "$deb")"

# The validators: errors fail the test, warnings are shown.
dpkg-deb -x "$deb" "$work/root"
desktop=$work/root/usr/share/applications/example.quorvel.da1011.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate found errors"
appstreamcli validate --no-net --explain "$work"/root/usr/share/metainfo/*.metainfo.xml \
  || fail "appstreamcli validate found errors"
lintian --fail-on error "$deb" \
  || fail "lintian found errors"

DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=600 "$deb" \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install failed"; }
installed=1
[[ $(readlink -f /usr/bin/da1011) == /usr/lib/da1011/DA1011 ]] \
  || fail "/usr/bin/da1011 does not lead to /usr/lib/da1011/DA1011"
for size in 16 32 48 64 128 256; do
  icon=/usr/share/icons/hicolor/${size}x${size}/apps/example.quorvel.da1011.png
  file -b "$icon" | grep -q "^PNG image data, $size x $size," || fail "no ${size}px icon"
done
mapfile -t package_files < <(dpkg -L da1011)

useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
# The web engine's sandbox needs user namespaces; some containers deny them to users.
sandbox=()
runuser -u "$user" -- unshare -Ur true 2>/dev/null || sandbox=(QTWEBENGINE_DISABLE_SANDBOX=1)
flag=$home/.config/DA1011/dontshow.txt

start_virtual_screen

# The command the menu runs, without its field codes.
command=$(sed -n 's/^Exec=//p' /usr/share/applications/example.quorvel.da1011.desktop \
  | sed 's/ *%[fFuUick]//g')
[[ -n $command ]] || fail "the desktop entry has no Exec line"
log=$work/app.log

# start_until MILESTONE: starts the menu's command as the user, from the user's home, with
# nothing of this test's environment, and waits for the milestone it logs.
start_until() {
  runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" \
    PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$display" QT_QPA_PLATFORM=xcb "${sandbox[@]}" \
    QT_LOGGING_RULES="da1011.startup.info=true" sh -c "cd && exec $command" >"$log" 2>&1 &
  app_pid=$!
  for _ in $(seq 300); do grep -q "$1" "$log" && break; sleep 0.1; done
  grep -q "$1" "$log" || { cat "$log"; fail "no '$1' from the program"; }
}

# close_and_expect_clean_end TITLE: closes the only window through the window manager; the
# program must end on its own with exit code 0.
close_and_expect_clean_end() {
  local windows
  windows=$(DISPLAY=$display wmctrl -l | wc -l)
  [[ $windows -eq 1 ]] || { DISPLAY=$display wmctrl -l; fail "$windows windows, expected only '$1'"; }
  DISPLAY=$display wmctrl -c "$1" || fail "could not close the window '$1'"
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "the program did not end when '$1' was closed"
  local code=0
  wait "$app_pid" || code=$?
  app_pid=""
  [[ $code -eq 0 ]] || { cat "$log"; fail "the program ended with exit code $code"; }
}

start_until "welcome window shown"
welcome=$(DISPLAY=$display xdotool search --name "^Get Our Quorvel Weekly ezine FREE!\$" | head -n 1)
[[ -n $welcome ]] || fail "no welcome window on the screen"
# On X11 desktops match windows to the menu entry by their class.
wm_class=$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/example.quorvel.da1011.desktop)
DISPLAY=$display xprop -id "$welcome" WM_CLASS | grep -q "\"$wm_class\"\$" \
  || fail "the welcome window's class is not the menu entry's StartupWMClass ($wm_class)"
# "Don't Show This Screen Again." at 120,6000 twips and "Start Book" at 4680,5880 twips:
# 15 twips to a pixel.
DISPLAY=$display xdotool mousemove --window "$welcome" 40 408 click 1
sleep 0.3
DISPLAY=$display xdotool mousemove --window "$welcome" 348 404 click 1
# A message box would be modal and keep the book from loading.
start_until_loaded() { for _ in $(seq 300); do grep -q "page loaded" "$log" && return; sleep 0.1; done
  cat "$log"; fail "the book did not open after Start Book"; }
start_until_loaded
[[ $(od -An -tx1 "$flag" 2>/dev/null | tr -d ' ') == 310d0a ]] \
  || fail "$flag does not hold 31 0D 0A"
[[ ! -s /usr/lib/da1011/dontshow.txt ]] || fail "the installed flag file was written"
close_and_expect_clean_end "Quorvel 101"

start_until "page loaded"
grep -q "welcome window shown" "$log" && fail "the welcome window came up again"
close_and_expect_clean_end "Quorvel 101"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=600 da1011 \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge failed"; }
installed=""
dpkg-query -W -f='${Status}' da1011 2>/dev/null | grep -qv "not-installed" \
  && fail "da1011 is still known to dpkg after the purge"
for path in "${package_files[@]}"; do
  [[ $path == /. ]] && continue
  if [[ -d $path && ! -L $path ]]; then
    dpkg -S "$path" >/dev/null 2>&1 || fail "the purge left the folder $path"
  elif [[ -e $path || -L $path ]]; then
    fail "the purge left $path"
  fi
done
echo "package: $(basename "$deb") validated, installed, used by a new user (welcome window," \
  "choice kept in ~/.config/DA1011/dontshow.txt, book opened directly next time) and purged"
