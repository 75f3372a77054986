#!/usr/bin/env bash
# Listens to the program reading the sample book aloud through the desktop's own speech
# service: starts it on a virtual screen with a sound server of its own whose only output is
# recorded, and speech-dispatcher (espeak-ng) logging what it is given; opens chapter 1,
# reads its last screen with Ctrl+Shift+U at double speed, on into chapter 2, and prints the
# sentences speech-dispatcher was given in order, the seconds of sound recorded, and where
# the recording and a picture of the window are kept. Installs what is missing and builds
# first. Seconds to listen: the first argument (default 60).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
"$root/scripts/install-deps.sh" speech
"$root/scripts/build.sh"

source "$root/tests/support/virtual_screen.sh"
with_work_folder
out=$(mktemp -d /tmp/da1011-read-aloud.XXXXXX)
cp -r "$root/build/app" "$work/app"
printf 1 >"$work/app/dontshow.txt"
# A session of its own: sound server, speech service and their sockets live in $work.
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=listen" >"$work/pulse.log" 2>&1 & helper_pids+=($!)
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink listen
speech-dispatcher -s -t 0 -l 5 -L "$work" >/dev/null 2>&1 & helper_pids+=($!)
for _ in $(seq 50); do [[ -S $XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock ]] && break; sleep 0.1; done
parec -d listen.monitor --file-format=wav "$out/read-aloud.wav" & helper_pids+=($!)

start_virtual_screen
export DISPLAY=$display
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
QT_QPA_PLATFORM=xcb "$work/app/DA1011" >"$work/log" 2>&1 & app_pid=$!
id=
for _ in $(seq 120); do
  id=$(xdotool search --name '^Quorvel 101$' 2>/dev/null | head -n 1) && [[ -n $id ]] && break
  sleep 0.5
done
[[ -n $id ]] || { cat "$work/log"; fail "the reader window did not appear"; }
sleep 3  # the start page
xdotool windowactivate --sync "$id"
key() { xdotool key --window "$id" "$@"; sleep 1; }
key Tab Return  # the first link: chapter 1
sleep 2
key End
key ctrl+shift+u
# The reading bar's Faster button, four times: 2x. The window fills the screen, and the bar
# sits at the bottom right of the page.
read -r width height < <(xdotool getdisplaygeometry)
for _ in 1 2 3 4; do xdotool mousemove $((width - 65)) $((height - 35)) click 1; sleep 0.3; done
sleep "$seconds"
import -window root "$out/window.png"
key Escape
kill "${helper_pids[-1]}"  # the recording ends cleanly

echo "Given to speech-dispatcher, in order:"
sed -n 's/.*Queueing message |\(.*\)| with priority.*/  \1/p' "$work/speech-dispatcher.log"
python3 - "$out/read-aloud.wav" <<'PY'
import struct, sys, wave
with wave.open(sys.argv[1]) as w:
    rate, channels = w.getframerate(), w.getnchannels()
    frames = w.readframes(w.getnframes())
samples = struct.unpack(f"<{len(frames) // 2}h", frames)
second = rate * channels
loud = sum(1 for i in range(0, len(samples), second)
           if max(map(abs, samples[i:i + second]), default=0) > 1000)
print(f"Recorded {len(samples) / second:.0f} s, {loud} s of them with sound.")
PY
echo "Recording and picture: $out"
