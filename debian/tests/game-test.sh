# Shared by the tests that play the installed game: a virtual display and a
# session bus of the test's own (on which the toolkit starts the
# accessibility bus for the game, as on a desktop; the board's accessible
# squares are made only when something reads them, which local-window does),
# each game started with its output kept, closed the way a window manager
# closes it, and its end checked. Every wait is bounded. Sourced by bash test
# scripts; the buses' daemons write to standard error, the game's own
# standard error is kept and must hold no warning or critical error of the
# toolkit.
set -euo pipefail

if [ -z "${TAVELORN_TEST_DISPLAY:-}" ]; then
  exec env TAVELORN_TEST_DISPLAY=1 xvfb-run -a -s '-screen 0 1280x1024x24' dbus-run-session -- bash "$0" "$@"
fi
export GDK_BACKEND=x11
unset WAYLAND_DISPLAY
# The window titles and the squares' names checked here are the game's own,
# which a test bed's language would translate.
export LANG=C.UTF-8
unset LANGUAGE LC_ALL

game=/usr/games/tavelorn
window_tool="$(dirname "$0")/game-window"
logs=$(mktemp -d "${AUTOPKGTEST_TMP:-/tmp}/tavelorn.XXXXXX")
declare -A pids=()

# Whatever is left running ends with the test; on a failure every game's
# output is shown.
end_test() {
  local status=$? name
  for name in "${!pids[@]}"; do kill "${pids[$name]}" 2>/dev/null || true; done
  if [ "$status" -ne 0 ]; then
    for name in "$logs"/*.out; do
      [ -e "$name" ] || continue
      echo "--- ${name##*/} and its standard error:"
      cat "$name" "${name%.out}.err"
    done
  fi
  rm -rf "$logs"
}
trap end_test EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

start_game() { # NAME ARGUMENTS...: the installed game, its output in $logs/NAME.*
  local name=$1
  shift
  : >"$logs/$name.out"
  "$game" "$@" >>"$logs/$name.out" 2>"$logs/$name.err" &
  pids[$name]=$!
}

running() { kill -0 "${pids[$1]}" 2>/dev/null; }

wait_for_line() { # NAME LINE [SECONDS]: LINE shows in the game's output while it runs
  local tries=$((${3:-10} * 10))
  while ! grep -qxF -- "$2" "$logs/$1.out"; do
    running "$1" || fail "$1 ended before '$2'"
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "$1 did not write '$2'"
    sleep 0.1
  done
}

# Each square of the board is an accessible object of its own from GTK 4.10.
squares_are_accessible() {
  dpkg --compare-versions "$(dpkg-query -W -f='${Version}' libgtk-4-1)" ge 4.10
}

# The id of the game's window, once it is shown with exactly this title.
window_of() { # NAME TITLE
  local id
  id=$("$window_tool" wait "$2") || fail "$1 shows no window titled '$2'"
  echo "$id"
}

press() { "$window_tool" press "$@"; }
raise_window() { "$window_tool" raise "$1"; }

# A close request ends the game within 10 s, with status 0 and its last status
# line, and the toolkit reported no warning or critical error on the way.
close_game() { # NAME WINDOW
  local name=$1 pid=${pids[$1]} status=0
  "$window_tool" close "$2"
  for _ in $(seq 100); do running "$name" || break; sleep 0.1; done
  running "$name" && fail "$name still runs 10 s after a close request"
  wait "$pid" || status=$?
  unset "pids[$name]"
  [ "$status" -eq 0 ] || fail "$name ended with status $status after a close request"
  [ "$(tail -n 1 "$logs/$name.out")" = "[DEBUG][MAIN] Application terminée avec le statut: 0" ] ||
    fail "$name's last line is '$(tail -n 1 "$logs/$name.out")'"
  if grep -E -- '-(CRITICAL|WARNING) \*\*' "$logs/$name.err"; then
    fail "$name: the toolkit warned"
  fi
  cat "$logs/$name.err" >&2
  echo "$name closed with status 0"
}
