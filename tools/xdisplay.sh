# shellcheck shell=bash
# Sourced by the scripts that bring up a virtual X display of their own
# (tools/rundemo.sh, tests/desktop/xsession.sh): the X server on a free
# display and the window manager, each waited for. Safe under
# `set -euo pipefail`: a failure is the function's status, never an exit.

# xdisplay_start FIRST COUNT LOG: starts Xvfb on the first of the displays
# :FIRST to :FIRST+COUNT-1 without a lock whose server starts (another
# program may take a number between the look and the start, or hold one
# without a lock file here, as from a container: that server fails at once
# and the next number is tried). Sets `xvfb` (its pid) and exports DISPLAY;
# status 1, nothing left running, when none started (the last try's output
# is in LOG).
xdisplay_start() {
  local n=$1 count=$2 log=$3 numfile
  numfile=$(mktemp "${TMPDIR:-/tmp}/r56-display.XXXXXX")
  xvfb=""
  for _ in $(seq "$count"); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      # -displayfd: the server writes its number once it accepts clients.
      # -noreset: it would reset whenever its last client leaves (a probe,
      # a test between two windows) and refuse the next one while it does.
      : >"$numfile"
      Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numfile" \
        >"$log" 2>&1 &
      xvfb=$!
      for _ in $(seq 100); do
        [ -s "$numfile" ] && break
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
      done
      if [ -s "$numfile" ]; then
        DISPLAY=":$(tr -d '[:space:]' <"$numfile")"
        export DISPLAY
        rm -f "$numfile"
        return 0
      fi
      kill "$xvfb" 2>/dev/null || true
      wait "$xvfb" 2>/dev/null || true
      xvfb=""
    fi
    n=$((n + 1))
  done
  rm -f "$numfile"
  return 1
}

# xdisplay_wm WM LOG: starts the window manager WM on DISPLAY (its output in
# LOG) and waits till it has announced itself on the root window. Sets
# `wmpid`; status 1, nothing left running, when it did not come up within ten
# seconds.
xdisplay_wm() {
  local wm=$1 log=$2
  "$wm" --sm-disable >"$log" 2>&1 &
  wmpid=$!
  for _ in $(seq 100); do
    case $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) in
      *'window id'*) return 0 ;;
    esac
    kill -0 "$wmpid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$wmpid" 2>/dev/null || true
  wait "$wmpid" 2>/dev/null || true
  wmpid=""
  return 1
}
