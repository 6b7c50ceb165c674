#!/usr/bin/env bash
# Runs a command on an X display of its own: a virtual X server (Xvfb) on a
# free display number it picks itself, with the openbox window manager, or
# with none (--no-wm), as a user's desktop would have them. Both are stopped
# when the command ends; its exit status is the script's. Exit status 77 (a
# skipped test for CTest) when Xvfb, openbox, xdotool or xprop is missing.
#
#   xsession.sh [--no-wm] command [arguments...]
set -u
# shellcheck source=tools/xdisplay.sh
. "$(dirname "$0")/../../tools/xdisplay.sh"
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

# A display number of its own, far above those people pick by hand, from a
# random start: the groups that run side by side rarely try the same ones.
if ! xdisplay_start $((501 + RANDOM % 400)) 50 "$work/xvfb.log"; then
  echo "xsession: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

if [ -n "$wm" ]; then
  if ! xdisplay_wm "$wm" "$work/wm.log"; then
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
