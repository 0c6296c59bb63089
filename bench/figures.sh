#!/usr/bin/env bash
# The game's figures, on a virtual display of its own (tests/support/with-xvfb.sh):
#   - start-up: time from process start to the first painted frame (median
#     of RUNS runs, the programs taking turns, after one unmeasured warm-up
#     run of each), and the CPU time the program had used by then, which
#     other work on the machine disturbs far less;
#   - resident memory (VmRSS) 2 s after start;
#   - CPU time used over the next IDLE_S idle seconds, as a share of one core
#     (utime+stime of all threads, in clock ticks; and the scheduler's
#     nanosecond count of all threads, which resolves far below one tick);
#   - move latency between a server and a client instance on loopback
#     (bench/move_latency.cpp);
#   - a server's time from a press on its board to the move on screen, with a
#     quiet peer and with a peer flooding it with a refused move text, the
#     texts and lines the game handles per second during the flood, and how
#     long the backlog takes to clear (bench/peer_flood.cpp);
# then, off the display, one board frame drawn and the rules (bench-draw,
# bench-rules).
#
# `tavelorn -l` runs with none of GSK_RENDERER, GDK_DEBUG, GDK_DISABLE and
# GTK_THEME set, so it shows its window the way it does for a player who set
# none. Three builds of it are measured side by side:
#   - "tavelorn -l": the one built here;
#   - "before": the game at BEFORE, when given (a git revision, or a folder
#     of sources), built in BUILD_DIR/before (the figures of a change against
#     those without it);
#   - "package": /usr/games/tavelorn from the Debian package that
#     scripts/package.sh builds, unpacked into BUILD_DIR/package (with
#     DEB=FILE, that package instead): what players install.
# They are measured against a bare GTK 4 window with the same content and none
# of the game (bench/bare_window.c: the same boxes and labels, an empty
# drawing area for the board, the toolkit's default theme, which the game
# keeps and parses once too, adding its window's one-rule style sheet):
#   - "bare, GL": GTK's default renderer, GL driver and all;
#   - "floor": the cairo renderer with GL never loaded (GSK_RENDERER=cairo,
#     and GDK_DEBUG=gl-disable below GTK 4.16, GDK_DISABLE=gl from 4.16);
#     the targets are set against it;
#   - "floor + timer": the floor with an empty 100 ms timer, as the game
#     keeps one (the floor for idle CPU).
#
# First frame: bench/first_frame.c starts the program, waits for its window
# to be mapped, then polls five points of the window's area on the screen
# until none is still the black of the empty root window.
#
# Usage: [RUNS=N] [IDLE_S=S] [MOVES=N] [PRESSES=N] [BEFORE=REV|DIR] [DEB=FILE]
#        bench/figures.sh [BUILD_DIR]
#        (defaults: 9 runs, 10 idle seconds, 40 moves, 12 presses, build-figures)
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

RUNS=${RUNS:-9}
IDLE_S=${IDLE_S:-10}
MOVES=${MOVES:-40}
PRESSES=${PRESSES:-12}
RSS_AFTER_S=2
PROGRAMS=(bare_gl floor floor_timer ours)
declare -A TITLE=([bare_gl]="bare, GL" [floor]="floor" [floor_timer]="floor + timer" [ours]="tavelorn -l"
  [before]="before" [package]="package")

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
fastest() { printf '%s\n' "$@" | sort -n | head -n 1; }
cpu_ticks_of() { awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$1/stat"; }
cpu_ns_of() { cat /proc/"$1"/task/*/schedstat | awk '{sum += $1} END {print sum}'; }
row() { # label, then one value per program
  local label=$1; shift
  printf '%-38s' "$label"
  printf '%15s' "$@"
  printf '\n'
}

# The program started in the background last, killed on every way out.
running=
stop_running() {
  if [ -n "$running" ]; then
    kill "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
    running=
  fi
}

# The size of the first window a program shows.
window_size() {
  "$@" >/dev/null 2>&1 &
  running=$!
  local window
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$running" | head -n 1)
  xdotool getwindowgeometry --shell "$window" | awk -F= '$1 == "WIDTH" {w = $2} $1 == "HEIGHT" {h = $2} END {print w " x " h}'
  stop_running
}

measure() { # build directory
  local dir=$1 tools=$1/bench
  trap stop_running EXIT
  # The game picks its renderer itself when none of these is set.
  unset GSK_RENDERER GDK_DEBUG GDK_DISABLE
  export GDK_BACKEND=x11

  local gtk_version no_gl
  gtk_version=$(pkg-config --modversion gtk4)
  no_gl=$(sed -n 's/^TAVELORN_NO_GL_ENV:INTERNAL=//p' "$dir/CMakeCache.txt")
  echo "GTK $gtk_version; floor: GSK_RENDERER=cairo $no_gl"
  echo "windows: tavelorn -l $(window_size "$dir/tavelorn" -l), bare $(window_size "$tools/bare-window")"

  # Each command is named after its entry in PROGRAMS and used through that name.
  local cairo_no_gl=(env GSK_RENDERER=cairo "$no_gl")
  # shellcheck disable=SC2034
  local ours=("$dir/tavelorn" -l) bare_gl=("$tools/bare-window") floor=("${cairo_no_gl[@]}" "$tools/bare-window") \
    floor_timer=("${cairo_no_gl[@]}" "$tools/bare-window-timer") before=("$dir/before/build/tavelorn" -l) \
    package=("$dir/package/usr/games/tavelorn" -l)
  [ -x "${before[0]}" ] && PROGRAMS+=(before)
  [ -x "${package[0]}" ] && PROGRAMS+=(package)
  declare -A startup startup_cpu rss ticks ns
  local name

  for name in "${PROGRAMS[@]}"; do
    local -n command=$name
    "$tools/first-frame" "${command[@]}" >/dev/null # warm-up
  done
  for ((run = 0; run < RUNS; run++)); do
    for name in "${PROGRAMS[@]}"; do
      local -n command=$name
      local wall cpu
      read -r wall cpu <<<"$("$tools/first-frame" "${command[@]}")"
      startup[$name]+="$wall "
      startup_cpu[$name]+="$cpu "
    done
  done

  # env replaces itself with the program: the process keeps its number.
  for name in "${PROGRAMS[@]}"; do
    local -n command=$name
    "${command[@]}" >/dev/null 2>&1 &
    running=$!
    sleep "$RSS_AFTER_S"
    rss[$name]=$(awk '/^VmRSS:/ {print $2}' "/proc/$running/status")
    local ticks0 ns0
    ticks0=$(cpu_ticks_of "$running") ns0=$(cpu_ns_of "$running")
    sleep "$IDLE_S"
    ticks[$name]=$(($(cpu_ticks_of "$running") - ticks0))
    ns[$name]=$(($(cpu_ns_of "$running") - ns0))
    stop_running
  done

  local hz
  hz=$(getconf CLK_TCK)
  echo "Start-up to first frame, each run (ms elapsed / ms of CPU):"
  for name in "${PROGRAMS[@]}"; do
    printf '  %-14s %s / %s\n' "${TITLE[$name]}" "${startup[$name]% }" "${startup_cpu[$name]% }"
  done
  echo
  local titles=() medians=() fastests=() cpu_medians=() kib=() tick_pct=() ns_pct=()
  for name in "${PROGRAMS[@]}"; do
    titles+=("${TITLE[$name]}")
    # shellcheck disable=SC2086 # one argument per run
    medians+=("$(median ${startup[$name]})") cpu_medians+=("$(median ${startup_cpu[$name]})")
    # shellcheck disable=SC2086
    fastests+=("$(fastest ${startup[$name]})")
    kib+=("${rss[$name]}")
    tick_pct+=("$(awk -v t="${ticks[$name]}" -v hz="$hz" -v s="$IDLE_S" 'BEGIN {printf "%.3f", 100 * t / hz / s}')")
    ns_pct+=("$(awk -v n="${ns[$name]}" -v s="$IDLE_S" 'BEGIN {printf "%.4f", 100 * n / 1e9 / s}')")
  done
  row "" "${titles[@]}"
  row "start-up to first frame, median (ms)" "${medians[@]}"
  row "start-up to first frame, fastest (ms)" "${fastests[@]}"
  row "CPU used until then, median (ms)" "${cpu_medians[@]}"
  row "resident memory after ${RSS_AFTER_S} s (KiB)" "${kib[@]}"
  row "CPU in ${IDLE_S} idle s, utime+stime (%)" "${tick_pct[@]}"
  row "CPU in ${IDLE_S} idle s, scheduler (%)" "${ns_pct[@]}"
  echo "(utime+stime counts whole ticks of 1/$hz s: over ${IDLE_S} s one tick is" \
    "$(awk -v hz="$hz" -v s="$IDLE_S" 'BEGIN {printf "%.3f", 100 / hz / s}') %)"
  echo
  # Indices in PROGRAMS: 1 floor, 2 floor + timer, 3 ours, then before and
  # package when measured.
  local i
  for ((i = 3; i < ${#PROGRAMS[@]}; i++)); do
    awk -v what="${TITLE[${PROGRAMS[i]}]}" -v ours="${medians[i]}" -v floor="${medians[1]}" \
      -v ours_fast="${fastests[i]}" -v floor_fast="${fastests[1]}" \
      -v ours_cpu="${cpu_medians[i]}" -v floor_cpu="${cpu_medians[1]}" -v kib="${kib[i]}" -v floor_kib="${kib[1]}" \
      -v idle="${ns_pct[i]}" -v floor_idle="${ns_pct[2]}" 'BEGIN {
      printf "%s: start-up %.2f x the floor (target: at most 1.10 x), fastest %.2f x, CPU until the first frame %.2f x;",
        what, ours / floor, ours_fast / floor_fast, ours_cpu / floor_cpu
      printf " memory floor %+.1f MiB (target: at most +3 MiB);", (kib - floor_kib) / 1024
      printf " idle CPU %.4f %% of one core (floor with its timer: %.4f %%)\n", idle, floor_idle }'
  done
  if [[ " ${PROGRAMS[*]} " = *" before "* ]]; then
    awk -v ours="${medians[3]}" -v before="${medians[4]}" -v ours_cpu="${cpu_medians[3]}" \
      -v before_cpu="${cpu_medians[4]}" 'BEGIN {
      printf "Against the game before: start-up %.2f x, CPU until the first frame %.2f x\n",
        ours / before, ours_cpu / before_cpu }'
  fi

  echo
  echo "== Move latency, server and client on loopback, $MOVES moves =="
  "$tools/move-latency" "$MOVES"

  echo
  echo "== Press to screen, quiet and flooding peer, $PRESSES moves each =="
  "$tools/peer-flood" "$PRESSES"
}

if [ "${1:-}" = --measure ]; then
  measure "$2"
  exit 0
fi

dir=${1:-build-figures}
echo "== Building in $dir =="
mkdir -p "$dir"
rm -rf "$dir/before"
if [ -n "${BEFORE:-}" ]; then
  echo "== Building the game at $BEFORE in $dir/before =="
  mkdir -p "$dir/before"
  if [ -d "$BEFORE" ]; then
    tar -C "$BEFORE" --exclude='./build*' -cf - . | tar -C "$dir/before" -xf -
  else
    git archive "$BEFORE" | tar -C "$dir/before" -xf -
  fi
  cmake -S "$dir/before" -B "$dir/before/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELORN_TESTS=OFF \
    -DTAVELORN_BENCH=OFF >/dev/null
  cmake --build "$dir/before/build" -j"$(nproc)" --target tavelorn >/dev/null
fi
version=$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' debian/changelog)
if [ -z "${DEB:-}" ]; then
  echo "== Building the Debian package (scripts/package.sh) =="
  scripts/package.sh >"$dir/package.log" 2>&1 || { tail -n 30 "$dir/package.log" >&2; exit 1; }
  DEB=$(ls tavelorn_"${version}"_*.deb | head -n 1)
fi
rm -rf "$dir/package"
dpkg-deb -x "$DEB" "$dir/package"
echo "package: $DEB, $(dpkg-deb -f "$DEB" Version)"
# The tests are configured for their program support (move-latency uses it);
# only the targets below are built.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELORN_TESTS=ON -DTAVELORN_BENCH=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target tavelorn first-frame bare-window bare-window-timer \
  move-latency peer-flood bench-draw bench-rules >/dev/null

echo "== Window figures (Xvfb) =="
tests/support/with-xvfb.sh "$self" --measure "$dir"

echo
echo "== Board drawing, one frame into a 528 x 528 image surface =="
"$dir/bench/bench-draw" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo
echo "== Rules, on positions of random games =="
"$dir/bench/bench-rules" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true | tee "$dir/rules.txt"
awk '$1 == "BM_TryMove_median" {move = $4} $1 == "BM_LogLineAlone_median" {line = $4}
  END {if (move > 0) printf "The [LOG] line, printed and flushed: %.0f ns of a %.0f ns try_move (%.0f %%)\n",
    line, move, 100 * line / move}' "$dir/rules.txt"
