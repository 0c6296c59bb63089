#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: a normal build, then
# an AddressSanitizer + UndefinedBehaviorSanitizer build, warnings as errors.
# Every test that needs a display starts one of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

jobs=$(nproc)
# The tests are asked for by name: scripts/play.sh leaves them out of the
# build tree both share, and a suite without tests is a failure, not a pass.
run_suite() { # build directory, extra cmake options...
  local dir=$1; shift
  cmake -S . -B "$dir" -DTAVELORN_WERROR=ON -DTAVELORN_TESTS=ON -DTAVELORN_DISPLAY_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j"$jobs"
}

echo "== Tests =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELORN_BENCH=ON
echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVELORN_SANITIZE=ON -DTAVELORN_BENCH=OFF
