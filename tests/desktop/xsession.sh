#!/usr/bin/env bash
# Runs a command on an X display of its own: a virtual X server (Xvfb) on a
# free display number it picks itself, with the openbox window manager, or
# with none (--no-wm), as a user's desktop would have them. Both are stopped
# when the command ends; its exit status is the script's. Exit status 77 (a
# skipped test for CTest) when Xvfb, openbox, xdotool or xprop is missing.
#
#   xsession.sh [--no-wm] command [arguments...]
set -u
wm=openbox
if [ "${1:-}" = --no-wm ]; then
  wm=""
  shift
fi
for tool in Xvfb xdotool xprop ${wm}; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "xsession: $tool is not installed (tools/deps.sh installs it); skipped" >&2
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/r56-xsession.XXXXXX")
xvfb=""
wmpid=""
watch=""
cleanup() {
  [ -n "$watch" ] && kill "$watch" 2>/dev/null
  [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  [ -n "$wmpid" ] && wait "$wmpid" 2>/dev/null
  [ -n "$xvfb" ] && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display number of its own, far above those people pick by hand: the
# first one without a lock whose server starts (another test may take a
# number between the look and the start; the server then fails at once and
# the next number is tried). Xvfb writes the number once it accepts clients.
n=$((500 + RANDOM % 400))
started=""
for _ in $(seq 50); do
  n=$((n + 1))
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  : >"$work/display"
  Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  if [ -s "$work/display" ]; then
    started=1
    break
  fi
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  xvfb=""
done
if [ -z "$started" ]; then
  echo "xsession: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

if [ -n "$wm" ]; then
  "$wm" --sm-disable >"$work/wm.log" 2>&1 &
  wmpid=$!
  # The window manager is ready once it has announced itself on the root.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    echo "xsession: $wm did not start" >&2
    cat "$work/wm.log" >&2
    exit 1
  fi
  export R56_WINDOW_MANAGER="$wm"
else
  unset R56_WINDOW_MANAGER
fi

# Should this script be killed outright (a test's time limit), the X server
# and the window manager go with it.
me=$$
( while kill -0 "$me" 2>/dev/null; do sleep 1; done
  [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null
  kill "$xvfb" 2>/dev/null ) >/dev/null 2>&1 &
watch=$!

export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work"
"$@"
status=$?
exit "$status"
