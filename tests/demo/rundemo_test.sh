#!/usr/bin/env bash
# The last step of `make demo` on a machine without a display: r5r6 comes up
# under openbox on a virtual display, a VNC server answers on the loopback
# address it prints, the screenshot is there, and the kill line it prints
# stops it all. Arguments: the source folder and the build folder.
set -euo pipefail
src=$1
build=$2
tmp=$(mktemp -d)
out=$tmp/out.txt
pids=""
cleanup() {
  [ -z "$pids" ] || kill $pids 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$out" "$tmp"/demo/*.log >&2 2>/dev/null || true
  exit 1
}

cd "$src"
tools/mkdemo.sh "$tmp/demo" "$build" >/dev/null
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
  tools/rundemo.sh "$tmp/demo" "$build" >"$out" 2>&1 || fail "rundemo.sh ended with $?"
cat "$out"

pids=$(sed -n 's/^Stop it all: close r5r6, or kill //p' "$out")
[ -n "$pids" ] || fail "no kill line"
display=$(sed -n 's/.*on the virtual display \(:[0-9]*\) under openbox.*/\1/p' "$out")
[ -n "$display" ] || fail "no display named"
port=$(sed -n 's/^Connect a VNC viewer to 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$out")
[ -n "$port" ] || fail "no VNC address"

# The screenshot is a picture of the whole screen.
shot=$tmp/demo/r5r6-main.png
[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "no PNG screenshot"

# The window manager manages r5r6's window, and it has the focus.
app=$(set -- $pids; echo "$2")
win=$(DISPLAY=$display xdotool search --onlyvisible --pid "$app" | head -1)
[ -n "$win" ] || fail "no r5r6 window"
DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" || fail "no window manager"
clients=$(DISPLAY=$display xprop -root _NET_CLIENT_LIST)
printf '%s\n' "$clients" | grep -qi "$(printf '0x%x' "$win")" || fail "openbox does not manage $win: $clients"

# The VNC server answers on the loopback address only.
exec 3<>"/dev/tcp/127.0.0.1/$port" || fail "nothing on 127.0.0.1:$port"
read -r -n 12 hello <&3 || true
exec 3<&-
case $hello in RFB\ 003.*) ;; *) fail "no VNC greeting on port $port: '$hello'" ;; esac
hexport=$(printf '%04X' "$port")
wide=$(awk -v p="$hexport" '$4 == "0A" && $2 ~ ":" p "$" && $2 !~ /^(0100007F|00000000000000000000000001000000):/ { print $2 }' \
  /proc/net/tcp /proc/net/tcp6)
[ -z "$wide" ] || fail "the VNC server listens beyond the loopback address: $wide"

# The printed kill line stops everything.
kill $pids
for _ in $(seq 50); do
  alive=""
  for p in $pids; do
    [ "$(ps -o stat= -p "$p" 2>/dev/null | cut -c1)" = "" ] ||
      [ "$(ps -o stat= -p "$p" | cut -c1)" = Z ] || alive="$alive $p"
  done
  [ -z "$alive" ] && break
  sleep 0.1
done
[ -z "$alive" ] || fail "still running after the kill line:$alive"
pids=""
echo "PASS"
