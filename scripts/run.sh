#!/usr/bin/env bash
# Builds Groovane Pro (Release), prepares the working folder and starts the program in it.
# The working folder is ./workspace, or the folder that GROOVANE_WORKSPACE names. Files the
# program ships (the default kit, Blank.wav, Panning.dat, the manual) are copied there only
# when missing, so a user's own files are never overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGROOVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"

workspace=${GROOVANE_WORKSPACE:-$root/workspace}
mkdir -p "$workspace/temp"
# Shipped files: those in data/ and those the build makes (the default kit).
for f in "$root"/data/* "$root"/build/release/data/*; do
  [ -f "$f" ] || continue
  name=$(basename "$f")
  # Names match without regard to case, as the program sees them.
  if ! find "$workspace" -maxdepth 1 -iname "$name" | grep -q .; then
    cp "$f" "$workspace/$name"
  fi
done

cd "$workspace"
exec "$root/build/release/src/app/groovane" "$@"
