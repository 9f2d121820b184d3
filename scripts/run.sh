#!/usr/bin/env bash
# Builds Groovane Pro (Release) and starts it in the working folder ./workspace, or the folder
# that GROOVANE_WORKSPACE names. The program prepares the folder itself (--folder): it makes it
# with its "temp" folder and copies in the shipped files that are missing there, so a user's own
# files are never overwritten. Extra arguments go to the program (e.g. a song to open).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGROOVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"

exec "$root/build/release/src/app/groovane" --folder "${GROOVANE_WORKSPACE:-$root/workspace}" "$@"
