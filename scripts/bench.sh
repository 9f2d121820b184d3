#!/usr/bin/env bash
# Builds the benchmarks in bench/ (Release, into build/bench) and runs each of them.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DGROOVANE_BUILD_BENCH=ON -DGROOVANE_BUILD_TESTS=OFF
cmake --build build/bench -j "$jobs"
for bench in build/bench/bench/*_bench; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench"
done
