#!/usr/bin/env bash
# Builds the benchmarks in bench/ as an optimised release in build/bench and runs every one of
# them. Extra arguments go to each benchmark (e.g. --benchmark_filter=Pitched).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DGROOVANE_BUILD_BENCH=ON -DGROOVANE_BUILD_TESTS=OFF
cmake --build build/bench -j "$(nproc 2>/dev/null || echo 2)" --target benchmarks

while read -r bench; do
  [ -n "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" "$@"
done < build/bench/bench/benchmarks.txt
