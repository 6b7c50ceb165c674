#!/usr/bin/env bash
# Starts r5r6 in the demo start directory, with demo/disk standing for drive
# A (unless R56_DRIVE_A is set). With a display it runs there in the
# foreground. Without one it starts a virtual X server (Xvfb) on a free
# display with a window manager (openbox, so that focus and maximised windows
# behave), the program, and a VNC server on the loopback address (x11vnc);
# it writes a screenshot, says where to point a VNC viewer and how to stop it
# all, and returns. Closing r5r6 stops the rest.
set -euo pipefail
# shellcheck source=tools/xdisplay.sh
. "$(dirname "$0")/xdisplay.sh"
dir=${1:-demo}
build=$(cd "${2:-build}" && pwd)
cd "$dir"
export R56_DRIVE_A=${R56_DRIVE_A:-$PWD/disk}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/r5r6"
fi

unset QT_QPA_PLATFORM # the X server below, whatever the caller's setting
missing=()
for tool in Xvfb openbox x11vnc xdotool xprop import; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "No display, and the tools for a virtual one are missing: ${missing[*]}" >&2
  echo "(tools/deps.sh demo installs them)." >&2
  exit 1
fi

pids=()
stop() { [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true; }
fail() {
  echo "$1" >&2
  stop
  exit 1
}
# Waits up to $2 tenths of a second for the command $3... to succeed while
# the process $1 lives.
await() {
  local pid=$1 tenths=$2
  shift 2
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# A free display from :99 up, a number short enough to type.
xdisplay_start 99 101 Xvfb.log || fail "No free X display from :99 to :199 (see $PWD/Xvfb.log)."
pids=("$xvfb")

xdisplay_wm openbox openbox.log || fail "openbox did not start on $DISPLAY (see $PWD/openbox.log)."
pids=("$wmpid" "${pids[@]}")

"$build/bin/r5r6" >r5r6.log 2>&1 &
app=$!
pids=("$app" "${pids[@]}")
await "$app" 300 xdotool search --onlyvisible --pid "$app" ||
  fail "r5r6 did not show its main window on $DISPLAY (see $PWD/r5r6.log)."

# -localhost: only this machine reaches it; the viewer comes from elsewhere
# through an ssh tunnel. The first free port from 5900 up.
x11vnc -display "$DISPLAY" -localhost -nopw -forever -shared -quiet >x11vnc.log 2>&1 &
pids=("$!" "${pids[@]}")
await "${pids[0]}" 100 grep -q '^PORT=' x11vnc.log ||
  fail "x11vnc did not start on $DISPLAY (see $PWD/x11vnc.log)."
port=$(sed -n 's/^PORT=//p' x11vnc.log | head -1)

# Closing r5r6 stops the window manager, the VNC server and the display.
setsid nohup sh -c "while kill -0 $app 2>/dev/null; do sleep 1; done; kill ${pids[*]:1} 2>/dev/null" \
  >/dev/null 2>&1 </dev/null &

sleep 1 # let the window paint
shot="$PWD/r5r6-main.png"
import -window root "$shot"

echo "No display: r5r6 runs on the virtual display $DISPLAY under openbox (r5r6 pid $app)."
echo "Connect a VNC viewer to 127.0.0.1:$port (vncviewer 127.0.0.1::$port; from another"
echo "  computer first: ssh -L $port:127.0.0.1:$port this-machine)."
echo "Screenshot: $shot"
echo "Stop it all: close r5r6, or kill ${pids[*]}"
