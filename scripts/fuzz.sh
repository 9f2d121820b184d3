#!/usr/bin/env bash
# Builds the libFuzzer harnesses of the file readers (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each for SECONDS seconds (default 60),
# starting from its seed corpus in tests/fuzz/corpus/<harness>/. New inputs are kept in
# build/fuzz/corpus/<harness>/, findings in build/fuzz/findings/<harness>/. Prints one line per
# harness (runs, coverage) and exits non-zero when any harness found something.
#
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]    (harness names as in tests/fuzz/CMakeLists.txt)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

# -Werror stays on: clang warns about things g++ does not, and both builds must be clean.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DGROOVANE_FUZZ=ON -DGROOVANE_WERROR=ON >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzzers

if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  mapfile -t harnesses < <(ls tests/fuzz/corpus)
fi

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p build/fuzz/logs

run_harness() {
  local name=$1
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  case $name in
    # The kit reader keeps a fixed block per sound whatever its size, so a large kit of tiny
    # sounds takes far more memory than its bytes; 64 KiB inputs stay well inside the limit.
    kit_file) options+=(-max_len=65536) ;;
  esac
  mkdir -p "build/fuzz/corpus/$name" "build/fuzz/findings/$name"
  "build/fuzz/tests/fuzz/fuzz_$name" "${options[@]}" -artifact_prefix="build/fuzz/findings/$name/" \
    "build/fuzz/corpus/$name" "tests/fuzz/corpus/$name" >"build/fuzz/logs/$name.log" 2>&1
}

failed=()
pids=()
names=()
for name in "${harnesses[@]}"; do
  run_harness "$name" &
  pids+=($!)
  names+=("$name")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
done
for i in "${!pids[@]}"; do
  if ! wait "${pids[$i]}"; then
    failed+=("${names[$i]}")
  fi
done

for name in "${harnesses[@]}"; do
  log="build/fuzz/logs/$name.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  printf '%-14s %10s runs  %s\n' "$name" "${runs:-?}" "${cov:-cov: ?}"
done

if [ ${#failed[@]} -gt 0 ]; then
  for name in "${failed[@]}"; do
    echo "---- fuzz_$name found something (input in build/fuzz/findings/$name/):"
    grep -E 'property violated|ERROR|SUMMARY|Test unit written' "build/fuzz/logs/$name.log" | head -20
  done
  exit 1
fi
echo "fuzz: ${#harnesses[@]} harnesses, ${seconds} s each, no finding"
