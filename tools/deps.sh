#!/usr/bin/env bash
# Installs, with apt-get, whatever one of the front door's commands needs and
# this machine lacks (packages already installed, by dpkg -s, are skipped):
#   demo  building the two programs and running them, on a virtual display
#         with a window manager and a VNC server where there is no display;
#   test  (the default) the demo's and every test's (make build, test, bench);
#   fuzz  the tests' and clang with its sanitizer and fuzzer runtimes.
# Every command the scripts, the build and the tests call is here (or in
# Debian's essential set, as taskset and the shell's tools are), and the
# fonts: DejaVu Sans is the system's sans face, the widgets' default text,
# whose sizes the widget tests know.
set -euo pipefail
what=${1:-test}
demo=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libjpeg62-turbo-dev
  fonts-arphic-uming fonts-liberation fonts-dejavu-core qt6-translations-l10n
  xvfb xauth openbox x11vnc xdotool imagemagick x11-utils
)
test=(libgtest-dev libgmock-dev libbenchmark-dev libgif-dev poppler-utils)
fuzz=(clang libclang-rt-14-dev)
case $what in
  demo) pkgs=("${demo[@]}") ;;
  test) pkgs=("${demo[@]}" "${test[@]}") ;;
  fuzz) pkgs=("${demo[@]}" "${test[@]}" "${fuzz[@]}") ;;
  *) echo "usage: $0 [demo|test|fuzz]" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
log=${TMPDIR:-/tmp}/r56-deps.log
echo "Installing: ${missing[*]} (apt-get's output: $log)"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Not root and no sudo here: as root, run" >&2
    echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi
if ! { $sudo apt-get update -q &&
  $sudo env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  tail -20 "$log" >&2
  echo "Installing failed (the whole output: $log)." >&2
  exit 1
fi
