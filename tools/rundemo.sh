#!/usr/bin/env bash
# Starts r5r6 in the demo start directory, with demo/disk standing for drive
# A (unless R56_DRIVE_A is set). With a display it runs there in the
# foreground. Without one it starts under a virtual X server (Xvfb), writes a
# screenshot of the main window into the demo folder, says where the program
# runs and how to stop it, and returns.
set -euo pipefail
dir=${1:-demo}
build=$(cd "${2:-build}" && pwd)
cd "$dir"
export R56_DRIVE_A=${R56_DRIVE_A:-$PWD/disk}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/r5r6"
fi

# A free display number.
n=99
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
DISPLAY=":$n" nohup "$build/bin/r5r6" >r5r6.log 2>&1 &
app=$!

shot="$PWD/r5r6-main.png"
win=""
for _ in $(seq 100); do
  win=$(DISPLAY=":$n" xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  kill -0 "$app" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$win" ]; then
  echo "r5r6 did not show its main window (see $PWD/r5r6.log)." >&2
  kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  exit 1
fi
sleep 1 # let the window paint
DISPLAY=":$n" import -window root "$shot"

echo "No display: r5r6 runs on the virtual display :$n (Xvfb pid $xvfb, r5r6 pid $app)."
echo "Screenshot of its main window: $shot"
echo "Look at it live: DISPLAY=:$n xdotool / x11vnc -display :$n, or run 'make demo' on a desktop."
echo "Stop it: kill $app $xvfb"
