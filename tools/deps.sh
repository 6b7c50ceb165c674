#!/usr/bin/env bash
# Installs, with apt-get, whatever the build, the tests and the demo need and
# this machine lacks. Packages already installed (dpkg -s) are skipped.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgif-dev
  clang libclang-rt-14-dev
  fonts-arphic-uming fonts-liberation qt6-translations-l10n
  poppler-utils xvfb xauth ccache
  openbox xdotool x11-utils imagemagick
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
