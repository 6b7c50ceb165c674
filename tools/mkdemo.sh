#!/usr/bin/env bash
# Prepares a start directory for the demo: the files the program reads at
# start (from data/), and the authority's sample files in a folder "disk"
# that stands for the diskette. An existing declaration there is kept.
set -euo pipefail
dir=${1:-demo}
build=${2:-build}
mkdir -p "$dir/disk"
cp -r data/DOC "$dir/"
for f in data/*.sys data/*.inf; do
  [ -e "$f" ] && cp "$f" "$dir/"
done
if [ -d data/sample ]; then
  cp data/sample/* "$dir/disk/"
fi
echo "Demo start directory: $dir (sample authority files in $dir/disk)"
