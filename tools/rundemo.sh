#!/usr/bin/env bash
# Starts r5r6 in the demo start directory. Without a display it runs under a
# virtual X server, so that the command still does what it says.
set -euo pipefail
dir=${1:-demo}
build=$(cd "${2:-build}" && pwd)
cd "$dir"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/r5r6"
fi
echo "No display found: starting r5r6 under a virtual X server (xvfb-run)."
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/r5r6"
