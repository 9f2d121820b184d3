#!/usr/bin/env bash
# Checks the source format, then builds Groovane Pro with AddressSanitizer, UndefinedBehaviorSanitizer and warnings as errors,
# runs every test through ctest (a five-minute simulated soak among them), fuzzes the file readers
# briefly, then builds the thread-crossing tests with ThreadSanitizer and runs them too, and last
# makes the Debian package (a Release build) and checks it. Exits
# non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

# The sources as .clang-format says, before anything is built.
bash scripts/check-format.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGROOVANE_SANITIZE=ON -DGROOVANE_WERROR=ON -DGROOVANE_BUILD_TESTS=ON -DGROOVANE_BUILD_BENCH=ON
cmake --build build/test -j "$jobs"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
ctest --test-dir build/test --output-on-failure -j "$jobs" --timeout 300 | tee "$logs/asan.log"

# The readers of outside data under libFuzzer: each harness for 15 s from its seed corpus (its own
# clang build in build/fuzz). The soak ran above as the ctest "soak_five_minutes".
bash scripts/fuzz.sh 15

# ThreadSanitizer: only the tests labelled "tsan" (those that cross threads).
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGROOVANE_TSAN=ON -DGROOVANE_WERROR=ON -DGROOVANE_BUILD_TESTS=ON
tsan_targets=$(cmake --build build/tsan --target help | sed -n 's/^\(tsan_[a-z_]*\):.*/\1/p' | tr '\n' ' ')
if [ -n "$tsan_targets" ]; then
  # shellcheck disable=SC2086
  cmake --build build/tsan -j "$jobs" --target $tsan_targets
  TSAN_OPTIONS="halt_on_error=1" ctest --test-dir build/tsan --output-on-failure -L tsan -j "$jobs" --timeout 300 |
    tee "$logs/tsan.log"
fi

# The Debian package, unpacked: its dependencies, its files, the program started from its desktop
# entry and the demo song rendered by groovane-render.
package=$(bash scripts/package.sh | tail -n 1)
bash tests/packaging/check_package.sh "$package" build/package/data

# One closing line for both runs (each ctest run above already stopped the script on a failure).
total=$(cat "$logs"/*.log | sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' |
  awk '{ n += $1 } END { print n + 0 }')
echo "$total passed, 0 failed"
