#!/usr/bin/env bash
# Measures the game program against a bare GTK 4 window of the same size, on
# a virtual display of its own with the cairo renderer:
#   - start-up: time from process start to the first painted frame (median
#     of 5 runs, the programs taking turns, after one unmeasured warm-up run
#     of each), and the CPU time the program had used by then, which other
#     work on the machine disturbs far less;
#   - resident memory (VmRSS) 2 s after start;
#   - CPU time used over the next 10 idle seconds, as a share of one core
#     (utime+stime of all threads, in clock ticks; and the scheduler's
#     nanosecond count of all threads, which resolves far below one tick);
# then the board drawing benchmark (one frame into a 528 x 528 surface).
# The game's window grows past its 800 x 500 default to fit its labels, so
# the bare window is also measured at the game window's actual size; two more
# variants tell where a difference comes from: one with a line of text
# (fonts), one with an empty 100 ms timer (the game's peer poll).
#
# First frame: bench/first_frame.c starts the program, waits for its window
# to be mapped, then polls five points of the window's area on the screen
# until none is still the black of the empty root window: that is the
# moment the first frame reached the screen.
#
# Usage: [RUNS=N] bench/figures.sh [BUILD_DIR]   (default: 5 runs, build-figures)
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
RSS_AFTER_S=2
IDLE_S=10
PROGRAMS=(bare ours bare_sized bare_text bare_timer)
declare -A TITLE=([bare]="bare window" [ours]="tavelorn -l" [bare_sized]="bare, as big"
                  [bare_text]="bare + text" [bare_timer]="bare + timer")

# Width and height of the first window a program opens.
window_size() {
  "$@" >/dev/null 2>&1 &
  local pid=$! window
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
  xdotool getwindowgeometry --shell "$window" | awk -F= '$1 == "WIDTH" {w = $2} $1 == "HEIGHT" {h = $2} END {print w, h}'
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
cpu_ticks_of() { awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$1/stat"; }
cpu_ns_of() { cat /proc/"$1"/task/*/schedstat | awk '{sum += $1} END {print sum}'; }
row() { # label, then one value per program
  local label=$1; shift
  printf '%-38s' "$label"
  printf '%13s' "$@"
  printf '\n'
}

measure() { # build directory
  local dir=$1
  local ours=("$dir/tavelorn" -l) bare=("$dir/bare-window") bare_text=("$dir/bare-window-text")
  local bare_timer=("$dir/bare-window-timer")
  local size bare_sized
  size=$(window_size "${ours[@]}")
  read -r -a bare_sized <<<"$dir/bare-window $size"
  echo "tavelorn -l opens a window of ${size/ / x } pixels"
  declare -A startup startup_cpu rss ticks ns
  local name

  for name in "${PROGRAMS[@]}"; do
    local -n command=$name
    "$dir/first-frame" "${command[@]}" >/dev/null || true # warm-up
  done
  for ((run = 0; run < RUNS; run++)); do
    for name in "${PROGRAMS[@]}"; do
      local -n command=$name
      local wall cpu
      read -r wall cpu < <("$dir/first-frame" "${command[@]}")
      startup[$name]+="$wall "
      startup_cpu[$name]+="$cpu "
    done
  done

  for name in "${PROGRAMS[@]}"; do
    local -n command=$name
    "${command[@]}" >/dev/null 2>&1 &
    local pid=$!
    sleep "$RSS_AFTER_S"
    rss[$name]=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
    local ticks0 ns0
    ticks0=$(cpu_ticks_of "$pid") ns0=$(cpu_ns_of "$pid")
    sleep "$IDLE_S"
    ticks[$name]=$(($(cpu_ticks_of "$pid") - ticks0))
    ns[$name]=$(($(cpu_ns_of "$pid") - ns0))
    kill "$pid"
    wait "$pid" 2>/dev/null || true
  done

  local hz
  hz=$(getconf CLK_TCK)
  echo "Start-up to first frame, each run (ms elapsed / ms of CPU):"
  for name in "${PROGRAMS[@]}"; do
    printf '  %-14s %s / %s\n' "${TITLE[$name]}" "${startup[$name]}" "${startup_cpu[$name]}"
  done
  echo
  local titles=() medians=() cpu_medians=() kib=() tick_pct=() ns_pct=()
  for name in "${PROGRAMS[@]}"; do
    titles+=("${TITLE[$name]}")
    medians+=("$(median ${startup[$name]})")
    cpu_medians+=("$(median ${startup_cpu[$name]})")
    kib+=("${rss[$name]}")
    tick_pct+=("$(awk -v t="${ticks[$name]}" -v hz="$hz" -v s="$IDLE_S" 'BEGIN {printf "%.3f", 100 * t / hz / s}')")
    ns_pct+=("$(awk -v n="${ns[$name]}" -v s="$IDLE_S" 'BEGIN {printf "%.4f", 100 * n / 1e9 / s}')")
  done
  row "" "${titles[@]}"
  row "start-up to first frame, median (ms)" "${medians[@]}"
  row "CPU used until then, median (ms)" "${cpu_medians[@]}"
  row "resident memory after ${RSS_AFTER_S} s (KiB)" "${kib[@]}"
  row "CPU in ${IDLE_S} idle s, utime+stime (%)" "${tick_pct[@]}"
  row "CPU in ${IDLE_S} idle s, scheduler (%)" "${ns_pct[@]}"
  echo
  local against
  for against in 0 2; do
    awk -v ours="${medians[1]}" -v bare="${medians[$against]}" -v ours_cpu="${cpu_medians[1]}" \
      -v bare_cpu="${cpu_medians[$against]}" -v title="${titles[$against]}" 'BEGIN {
      printf "tavelorn start-up against the %s: %+.1f %% (goal: within 10 %%)", title, 100 * (ours / bare - 1)
      printf "; CPU until the first frame: %+.1f %%\n", 100 * (ours_cpu / bare_cpu - 1) }'
  done
  awk -v cpu="${ns_pct[1]}" 'BEGIN {
    printf "tavelorn idle CPU: %.4f %% of one core (goal: under 0.1 %%)\n", cpu }'
  echo "(utime+stime counts whole ticks of 1/$hz s: over ${IDLE_S} s one tick is" \
    "$(awk -v hz="$hz" -v s="$IDLE_S" 'BEGIN {printf "%.3f", 100 / hz / s}') %)"
}

if [ "${1:-}" = --measure ]; then
  measure "$2"
  exit 0
fi

dir=${1:-build-figures}
echo "== Building in $dir =="
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELORN_TESTS=OFF -DTAVELORN_BENCH=ON >/dev/null
cmake --build "$dir" -j2 --target tavelorn bench_draw >/dev/null
gtk_flags=$(pkg-config --cflags --libs gtk4)
cc -O2 -Wall -Wextra -o "$dir/bare-window" bench/bare_window.c $gtk_flags
cc -O2 -Wall -Wextra -DWITH_LABEL -o "$dir/bare-window-text" bench/bare_window.c $gtk_flags
cc -O2 -Wall -Wextra -DWITH_POLL_TIMER -o "$dir/bare-window-timer" bench/bare_window.c $gtk_flags
cc -O2 -Wall -Wextra -o "$dir/first-frame" bench/first_frame.c -lX11

echo "== Window figures (Xvfb, GSK_RENDERER=cairo) =="
fifo=$(mktemp -u)
mkfifo "$fifo"
# -br: a black root window, so that unpainted parts of a window read as black;
# -noreset: the server keeps its state between two runs instead of resetting
# each time its last client leaves.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -br -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; rm -f "$fifo"' EXIT
read -r -t 20 display <"$fifo"
export DISPLAY=":$display" GSK_RENDERER=cairo GTK_A11Y=none NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY
dbus-run-session -- "$0" --measure "$dir" 2> >(grep -v 'Failed to set fd limit' >&2)

echo
echo "== Board drawing, one frame into a 528 x 528 image surface =="
"$dir/bench/bench_draw" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
