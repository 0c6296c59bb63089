#!/usr/bin/env bash
# Builds the game and runs it; with no arguments, a local game on one screen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DTAVELORN_TESTS=OFF -DTAVELORN_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tavelorn
[ $# -eq 0 ] && set -- -l
exec build/tavelorn "$@"
