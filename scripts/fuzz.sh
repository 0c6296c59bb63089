#!/usr/bin/env bash
# Coverage-guided fuzzing of what the game reads from outside: the peer
# link's reader, the rules and the command line (the targets of tests/fuzz/).
# Installs what it needs, builds the targets with clang for libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs them side by side
# for SECONDS each, from their seeds and with their dictionaries. Each corpus
# is then replayed in a coverage build. Prints, per target, its executions,
# its corpus and the lines of game/ the corpus reaches.
# Exits non-zero on any crash, leak, time-out or sanitizer report, and keeps
# the input that caused it in build-fuzz/run/TARGET/findings/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   SECONDS defaults to 60; TARGET is link, rules or command-line (all three
#   by default).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(link rules command-line)
for target in "${targets[@]}"; do
  [ -d "tests/fuzz/seeds/$target" ] || { echo "fuzz: no target '$target'" >&2; exit 2; }
done
scripts/install-deps.sh fuzz
# Seconds since the start, for the headings: what the installs, the builds
# and the runs each took.
since_start() { echo "at $(($(date +%s) - started)) s"; }

. /etc/os-release
version=
[ "${VERSION_CODENAME:-}" = bookworm ] && version=-14
cxx=clang++$version
llvm_cov=llvm-cov$version
llvm_profdata=llvm-profdata$version

build() { # DIRECTORY KIND
  cmake -S . -B "$1" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELORN_FUZZ="$2" >/dev/null
  cmake --build "$1" -j"$(nproc)" --target "${targets[@]/#/fuzz-}" >"$1/build.log" 2>&1 ||
    { tail -n 40 "$1/build.log" >&2; exit 1; }
}
echo "== Building the fuzz targets with $($cxx --version | head -n 1), $(since_start) =="
build build-fuzz fuzzer
build build-fuzz-coverage coverage

dictionary() { # TARGET
  case $1 in
    command-line) echo tests/fuzz/command-line.dict ;;
    *) echo tests/fuzz/move-texts.dict ;;
  esac
}

run=build-fuzz/run
rm -rf "$run"
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "== Fuzzing ${targets[*]} for $seconds s each, side by side, $(since_start) =="
pids=()
for target in "${targets[@]}"; do
  mkdir -p "$run/$target/corpus" "$run/$target/findings"
  (
    target_started=$(date +%s)
    status=0
    # The values compared, not only the branches taken, guide the fuzzer:
    # it reaches a move or a text the game singles out sooner.
    "build-fuzz/tests/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=10 -use_value_profile=1 -print_final_stats=1 \
      -dict="$(dictionary "$target")" -artifact_prefix="$run/$target/findings/" \
      "$run/$target/corpus" "tests/fuzz/seeds/$target" >"$run/$target/log" 2>&1 || status=$?
    echo $(($(date +%s) - target_started)) >"$run/$target/seconds"
    exit $status
  ) &
  pids+=($!)
done
failed=()
for i in "${!targets[@]}"; do
  wait "${pids[i]}" || failed+=("${targets[i]}")
done

# The lines of game/ that a profile reaches, from llvm-cov's lcov export:
# the total, then each file reached.
game_lines() { # PROFILE BINARY...
  local profile=$1 binary=$2
  shift 2
  "$llvm_cov" export -format=lcov -instr-profile="$profile" "$binary" "${@/#/-object=}" "$PWD/game" 2>>"$run/merge.log" |
    awk -F: '/^SF:/ { n = split($2, parts, "/"); file = parts[n] }
             /^LF:/ { found[file] += $2; all_found += $2 }
             /^LH:/ { hit[file] += $2; all_hit += $2 }
             END {
               printf "game/ lines reached: %d of %d (%.1f%%)", all_hit, all_found, all_found ? 100 * all_hit / all_found : 0
               for (f in hit) if (hit[f] > 0) printf "; %s %d/%d", f, hit[f], found[f]
               print ""
             }'
}

echo "== Results, $(since_start) =="
profiles=()
binaries=()
for target in "${targets[@]}"; do
  log=$run/$target/log
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
  echo "$target: $(cat "$run/$target/seconds") s, ${executions:-?} executions, ${per_second:-?}/s;" \
    "corpus ${corpus:-?} (inputs/bytes)"
  binary=build-fuzz-coverage/tests/fuzz/fuzz-$target
  if LLVM_PROFILE_FILE="$run/$target/coverage.profraw" "$binary" "$run/$target/corpus" "tests/fuzz/seeds/$target" \
    >/dev/null 2>"$run/$target/coverage.log"; then
    "$llvm_profdata" merge -sparse -o "$run/$target/coverage.profdata" "$run/$target/coverage.profraw"
    echo "  $(game_lines "$run/$target/coverage.profdata" "$binary")"
    profiles+=("$run/$target/coverage.profraw")
    binaries+=("$binary")
  else
    echo "  the corpus did not replay: see $run/$target/coverage.log"
    failed+=("$target")
  fi
done
if [ ${#profiles[@]} -gt 1 ]; then
  # The targets' own entry points differ under one name, which the merge
  # and the export warn of; the game's functions are the same in all.
  "$llvm_profdata" merge -sparse -o "$run/all.profdata" "${profiles[@]}" 2>"$run/merge.log"
  echo "all corpora together: $(game_lines "$run/all.profdata" "${binaries[@]}")"
fi
echo "== $(($(date +%s) - started)) s in all =="

if [ ${#failed[@]} -gt 0 ]; then
  for target in "${failed[@]}"; do
    echo "== $target FAILED: the end of $run/$target/log ==" >&2
    tail -n 40 "$run/$target/log" >&2
    ls "$run/$target/findings/"* >&2 2>/dev/null &&
      echo "Once fixed, the input goes into tests/fuzz/seeds/$target/ as a seed." >&2
  done
  exit 1
fi
