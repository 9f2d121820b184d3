#!/usr/bin/env bash
# Takes the manual's pictures again from the program's windows (offscreen) and puts them, with the
# manual, into the working folder. The build makes the same pictures in build/<kind>/data.
# The working folder is ./workspace, or the folder that GROOVANE_WORKSPACE names.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGROOVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs" --target manual_pictures

workspace=${GROOVANE_WORKSPACE:-$root/workspace}
mkdir -p "$workspace"
# The manual and its pictures are the program's own files: they are replaced.
cp "$root"/data/groovane.html "$root"/build/release/data/manual-*.png "$workspace"/
echo "manual-pictures: the manual and its pictures are in $workspace"
