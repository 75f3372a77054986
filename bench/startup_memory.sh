#!/usr/bin/env bash
# Start-up time and memory of DA1011 against the smallest Qt programs doing the same:
#   (a) process start -> welcome window shown, vs a plain QWidget window (and, for reference,
#       vs the program with its reader linked in rather than loaded as a plugin)
#   (b) process start -> first page loaded (flag file "1"), vs a bare QWebEngineView
#   (c) peak memory of the whole process tree while reading, vs the same bare view
# and a check that the welcome path starts no web engine helper process.
#
# Usage: bench/startup_memory.sh [-n RUNS] [-t TIMEOUT_S] [--offscreen] [--no-build] [--json FILE]
#   -n RUNS        runs of each program per measurement (default 7, or $RUNS)
#   -t TIMEOUT_S   give up on a run after this many seconds (default 30)
#   --offscreen    use Qt's offscreen platform instead of a private Xvfb + openbox desktop
#   --no-build     use the programs as they are in the build folder
#   --json FILE    also write every figure to FILE
#
# The programs run from copies of build/app in a temporary folder, so the real flag file
# is never touched. Exit status: 0 all targets met, 3 a target missed, 1 an error.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
source "$here/configured_build.sh"
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-7}
timeout=30
platform=xcb
do_build=1
json=

die() { echo "startup_memory: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
    -n|--runs) runs=${2:?}; shift 2 ;;
    -t|--timeout) timeout=${2:?}; shift 2 ;;
    --offscreen) platform=offscreen; shift ;;
    --no-build) do_build=0; shift ;;
    --json) json=${2:?}; shift 2 ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown argument: $1 (try --help)" ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "runs must be a positive number: $runs"
[[ $timeout =~ ^[0-9]+([.][0-9]+)?$ ]] || die "timeout must be a number of seconds: $timeout"
command -v python3 >/dev/null || die "python3 is needed"

source "$root/tests/support/virtual_screen.sh"
with_work_folder
trap 'exit 130' INT TERM

if [ "$do_build" = 1 ]; then
  install_build_packages
  echo "== building"
  { configure_build benchmarks &&
    cmake --build "$build" --target DA1011 minimal_window minimal_webview DA1011-linked; } \
    >"$work/build.log" 2>&1 \
    || { tail -30 "$work/build.log" >&2; die "build failed"; }
fi
app=$build/app
for f in "$app/DA1011" "$app/start.html" "$build/bench/minimal_window" "$build/bench/minimal_webview"; do
  [ -e "$f" ] || die "missing $f"
done

# Two copies of the application folder: one shows the welcome window, one goes to the book.
cp -a "$app" "$work/welcome"
cp -a "$app" "$work/reader"
: >"$work/welcome/dontshow.txt"
printf '1' >"$work/reader/dontshow.txt"
# For reference, the welcome window of the program with its reader linked in.
linked=()
if [ -x "$build/bench/DA1011-linked" ]; then
  cp "$build/bench/DA1011-linked" "$work/welcome/lib/"
  linked=(--linked-welcome "$work/welcome/lib/DA1011-linked")
fi

# Both programs get the same, private, per-user folders.
mkdir -p "$work/runtime" "$work/cache" "$work/config" "$work/data"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

if [ "$platform" = xcb ]; then
  command -v Xvfb >/dev/null || die "Xvfb is needed (apt-get install xvfb), or use --offscreen"
  start_virtual_screen 1920x1080x24
  export DISPLAY=$display
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  desktop="Xvfb $display 1920x1080x24 + openbox"
else
  export QT_QPA_PLATFORM=offscreen
  desktop="Qt offscreen platform"
fi

echo "== DA1011 start-up and memory benchmark"
echo "date:     $(date -Is)"
echo "machine:  $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
echo "system:   $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r), Qt $(qtpaths6 --qt-version 2>/dev/null || echo '?')"
echo "display:  $desktop"
echo "build:    $build ($(grep -m1 '^CMAKE_BUILD_TYPE:' "$build/CMakeCache.txt" | cut -d= -f2))"
echo "runs:     $runs of each program per measurement, timeout $timeout s per run"
echo "load:     $(cut -d" " -f1-3 /proc/loadavg) (1/5/15 min) at start"
echo

set +e
python3 "$here/measure.py" --runs "$runs" --timeout "$timeout" --workdir "$work" \
  --ours-welcome "$work/welcome/DA1011" --ours-reader "$work/reader/DA1011" \
  "${linked[@]}" --minimal-window "$build/bench/minimal_window" --minimal-webview "$build/bench/minimal_webview" \
  --page "$work/reader/start.html" ${json:+--json "$json"}
status=$?
set -e
echo "load:     $(cut -d" " -f1-3 /proc/loadavg) (1/5/15 min) at end (a load well above 1 means other work shared the CPUs)"
exit $status
