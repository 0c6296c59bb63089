#!/usr/bin/env bash
# Builds everything and runs the whole test suite twice: a normal build, then
# an AddressSanitizer + UndefinedBehaviorSanitizer build, warnings as errors.
# Every test that needs a display starts one of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

jobs=$(nproc)
run_suite() { # build directory, extra cmake options...
  local dir=$1; shift
  cmake -S . -B "$dir" -DTAVELORN_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

echo "== Tests =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVELORN_SANITIZE=ON -DTAVELORN_BENCH=OFF
