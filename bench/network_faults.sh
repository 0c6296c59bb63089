#!/usr/bin/env bash
# What a player sees when the network between two games fails, measured on the
# real program with the timings it ships with. As root: each line runs in a
# network namespace of its own (unshare -n), where nftables rules stand in for
# the network; the games share one virtual display
# (tests/support/with-xvfb.sh), each with a session bus of its own, so that
# no two instances ever meet. The peers on the other end are plain sockets
# (python3), which never probe a quiet connection themselves. The lines run
# side by side, about three minutes in all:
#   dead-peer    a server's peer plays C7C5, then every packet of its
#                connection is dropped (no close, no reset); a second peer
#                connects at once and plays Red's G3G4. Time from the cut to
#                the server's "[ERROR] Network error" line, and to the
#                "[LOG]" line of G3G4;
#   dead-server  a client's server plays C7C5, then is cut the same way: time
#                to the client's error line;
#   gap          a server's peer plays C7C5, then its connection is cut for
#                GAP_S (55) s, and the peer plays G3G4 7 s into the gap:
#                whether the server lets it go, and when G3G4 is applied;
#   idle         behind a firewall that forgets a connection after FORGET_S
#                (90) s without a packet, a game pair stays quiet for IDLE_S
#                (150) s, then the peer plays G3G4: whether, and how soon
#                after it was sent, the game applies it, with the game as the
#                server and as the client; and the same for a pair of plain
#                sockets beside them, which shows that the firewall forgets;
#   give-up      `tavelorn -c` to an address whose packets are dropped (a
#                machine that is off): time to its exit, its status and its
#                last lines; the same for a refused address.
# Usage: [IDLE_S=S] [FORGET_S=S] [GAP_S=S] [WAIT_S=S] bench/network_faults.sh [BUILD_DIR]
#        (default build)
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

IDLE_S=${IDLE_S:-150}
FORGET_S=${FORGET_S:-90}
GAP_S=${GAP_S:-55}
PORT=5000
WAIT_S=${WAIT_S:-300} # no line waits for anything longer than this
python=/usr/bin/python3

now() { date +%s.%N; }
# Seconds (or milliseconds) from one time to another; "never" for a time that
# never came.
since() { awk -v a="$1" -v b="$2" 'BEGIN {if (b == "never") print "never"; else printf "%.1f s", b - a}'; }
since_ms() { awk -v a="$1" -v b="$2" 'BEGIN {if (b == "never") print "never"; else printf "%.0f ms", 1000 * (b - a)}'; }

# Each line of standard input, prefixed with the time it came.
stamp() { while IFS= read -r line; do printf '%s %s\n' "$(now)" "$line"; done; }

# The time of the Nth (first) line of LOG that matches PATTERN, waiting for it.
wait_line() { # log, pattern[, n]
  local deadline=$((SECONDS + WAIT_S)) hit
  while [ $SECONDS -lt $deadline ]; do
    hit=$(grep -- "$2" "$1" 2>/dev/null | sed -n "${3:-1}p" | cut -d' ' -f1) || true
    [ -n "$hit" ] && { echo "$hit"; return 0; }
    sleep 0.1
  done
  echo never
}

# Every process a line starts, ended by their ids when it is done.
started=()
stop_started() { [ ${#started[@]} -eq 0 ] || kill "${started[@]}" 2>/dev/null || true; }

# The game in MODE on a session bus of its own, its lines stamped into LOG;
# its process id goes to LOG.pid.
game() { # log, mode, argument
  local log=$1
  dbus-run-session -- sh -c 'echo $$ >"$0.pid"; exec "$@"' "$log" "$dir/tavelorn" "$2" "$3" \
    > >(stamp >"$log") 2>&1 &
  # The window is up (and polls its link) once the application runs.
  wait_line "$log" 'Lancement de l' >/dev/null
  sleep 2
}
stop_game() { [ -f "$1.pid" ] && kill "$(cat "$1.pid")" 2>/dev/null || true; }

# Each line's peers, added to `started`.
peer() {
  peer_process "$@" &
  started+=($!)
}

# A plain TCP peer: connects from FROM_PORT (or, with "listen", waits on the
# port for one connection), sends each text after its pause in seconds and
# prints "sent TEXT TIME" for it, then holds the connection until killed.
peer_process() { # connect|listen, port, from_port, pause text...
  exec "$python" -u - "$@" <<'EOF'
import socket, sys, time
how, port, from_port, steps = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
if how == "listen":
    server = socket.socket(); server.bind(("127.0.0.1", port)); server.listen(1)
    s, _ = server.accept()
else:
    s = socket.socket(); s.bind(("127.0.0.1", from_port)); s.connect(("127.0.0.1", port))
for pause, text in zip(steps[::2], steps[1::2]):
    time.sleep(float(pause))
    s.sendall(text.encode())
    print("sent", text, "%.3f" % time.time())
time.sleep(3600)
EOF
}

nft_cut() { # port: drop every packet to or from it
  nft -f - <<EOF
table inet cut {
  chain in { type filter hook input priority 0; tcp sport $1 drop; tcp dport $1 drop; }
}
EOF
}

line_dead_peer() {
  game "$out/dead-peer.log" -s $PORT
  peer connect $PORT 40001 0 C7C5 >/dev/null
  wait_line "$out/dead-peer.log" '\[LOG\]' >/dev/null
  local cut
  cut=$(now)
  nft_cut 40001
  peer connect $PORT 40002 0 G3G4 >/dev/null
  local dropped applied
  dropped=$(wait_line "$out/dead-peer.log" '\[ERROR\] Network error')
  applied=$(wait_line "$out/dead-peer.log" '\[LOG\]' 2)
  stop_game "$out/dead-peer.log"
  echo "dead peer: cut to the server's error line | $(since "$cut" "$dropped")" >"$out/dead-peer.txt"
  echo "dead peer: cut to the next peer's G3G4 applied | $(since "$cut" "$applied")" >>"$out/dead-peer.txt"
  echo "dead peer: the error line | $(grep -m 1 -o '\[ERROR\] Network error.*' "$out/dead-peer.log")" >>"$out/dead-peer.txt"
}

line_dead_server() {
  peer listen $PORT 0 3 C7C5 >/dev/null
  sleep 0.5
  game "$out/dead-server.log" -c 127.0.0.1:$PORT
  wait_line "$out/dead-server.log" '\[LOG\]' >/dev/null
  local cut dropped
  cut=$(now)
  nft_cut $PORT
  dropped=$(wait_line "$out/dead-server.log" '\[ERROR\] Network error')
  stop_game "$out/dead-server.log"
  echo "dead server: cut to the client's error line | $(since "$cut" "$dropped")" >"$out/dead-server.txt"
}

line_gap() {
  game "$out/gap.log" -s $PORT
  peer connect $PORT 40001 0 C7C5 7 G3G4 >"$out/gap.peer"
  wait_line "$out/gap.log" '\[LOG\]' >/dev/null
  nft_cut 40001
  sleep "$GAP_S"
  local mended applied
  mended=$(now)
  nft delete table inet cut
  applied=$(wait_line "$out/gap.log" '\[LOG\]' 2)
  stop_game "$out/gap.log"
  {
    echo "gap of ${GAP_S} s: G3G4 sent into it applied | $(since "$mended" "$applied") after the gap"
    echo "gap of ${GAP_S} s: the server's error lines | $(grep -c '\[ERROR\]' "$out/gap.log")"
  } >"$out/gap.txt"
}

# How long after the peer's send of G3G4 the game's "[LOG]" line came.
idle_result() { # game log, peer log, label
  local sent applied
  sent=$(awk '$2 == "G3G4" {print $3}' "$2")
  applied=$(grep '\[LOG\]' "$1" | sed -n 2p | cut -d' ' -f1)
  if [ -n "$applied" ]; then
    echo "idle ${IDLE_S} s, firewall forgets after ${FORGET_S} s: $3 | applied $(since_ms "$sent" "$applied") after it was sent"
  else
    echo "idle ${IDLE_S} s, firewall forgets after ${FORGET_S} s: $3 | never applied"
  fi
}

line_idle() {
  nft -f - <<EOF
table inet forget {
  ct timeout quiet { protocol tcp; l3proto ip; policy = { established : $FORGET_S }; }
  chain out { type filter hook output priority 0; meta l4proto tcp ct timeout set "quiet"; }
  chain in { type filter hook input priority 0; ct state invalid drop; }
}
EOF
  echo 0 >/proc/sys/net/netfilter/nf_conntrack_tcp_loose
  game "$out/idle-server.log" -s $PORT
  peer connect $PORT 40001 0 C7C5 "$IDLE_S" G3G4 >"$out/idle-server.peer"
  peer listen $((PORT + 1)) 0 0 C7C5 "$IDLE_S" G3G4 >"$out/idle-client.peer"
  sleep 0.5
  game "$out/idle-client.log" -c 127.0.0.1:$((PORT + 1))
  # The plain pair: one end reads for as long as the others may take.
  "$python" -u - $((PORT + 2)) $((IDLE_S + 20)) >"$out/idle-plain.log" <<'EOF' &
import socket, sys, time
server = socket.socket(); server.bind(("127.0.0.1", int(sys.argv[1]))); server.listen(1)
s, _ = server.accept(); s.settimeout(float(sys.argv[2]))
try:
    while True:
        data = s.recv(4)
        if not data: break
        print("received", data.decode(), "%.3f" % time.time())
except socket.timeout:
    pass
EOF
  started+=($!)
  sleep 0.5
  peer connect $((PORT + 2)) 40003 0 C7C5 "$IDLE_S" G3G4 >"$out/idle-plain.peer"
  sleep $((IDLE_S + 20))
  stop_game "$out/idle-server.log"
  stop_game "$out/idle-client.log"
  {
    idle_result "$out/idle-server.log" "$out/idle-server.peer" "the game as server receives"
    idle_result "$out/idle-client.log" "$out/idle-client.peer" "the game as client receives"
    local sent got
    sent=$(awk '$2 == "G3G4" {print $3}' "$out/idle-plain.peer")
    got=$(awk '$2 == "G3G4" {print $3}' "$out/idle-plain.log")
    if [ -n "$got" ]; then
      echo "idle ${IDLE_S} s, firewall forgets after ${FORGET_S} s: two plain sockets | received $(since_ms "$sent" "$got") after it was sent"
    else
      echo "idle ${IDLE_S} s, firewall forgets after ${FORGET_S} s: two plain sockets | lost (nothing in 20 s)"
    fi
  } >"$out/idle.txt"
}

# Runs the client to PORT and reports its time to exit, status and last lines.
give_up_result() { # label, port
  local start end status=0
  start=$(now)
  "$dir/tavelorn" -c 127.0.0.1:"$2" >"$out/give-up-$2.out" 2>"$out/give-up-$2.err" || status=$?
  end=$(now)
  echo "$1 | exit after $(since "$start" "$end") with status $status: $(tail -n 1 "$out/give-up-$2.out"); $(cat "$out/give-up-$2.err")"
}

line_give_up() {
  nft_cut $PORT
  {
    give_up_result "client to an address that never answers" $PORT
    give_up_result "client to an address that refuses" $((PORT + 1))
  } >"$out/give-up.txt"
}

if [ "${1:-}" = --line ]; then
  dir=$3 out=$4
  ip link set lo up
  "line_$2"
  stop_started
  wait
  exit 0
fi

# On the display: every line side by side. A game in a network namespace
# reaches the display through its socket file.
if [ "${1:-}" = --lines ]; then
  pids=()
  for line in dead_peer dead_server gap idle give_up; do
    unshare -n "$self" --line "$line" "$2" "$3" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || true; done
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "network_faults: run as root (network namespaces and nftables)" >&2
  exit 1
fi
dir=${1:-build}
if [ ! -x "$dir/tavelorn" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target tavelorn >/dev/null
fi
dir=$(realpath "$dir")
out=$(mktemp -d)
echo "== Network faults, with the shipped timings ($(. /etc/os-release; echo "$PRETTY_NAME"), logs in $out) =="
tests/support/with-xvfb.sh "$self" --lines "$dir" "$out"
cat "$out"/dead-peer.txt "$out"/dead-server.txt "$out"/gap.txt "$out"/idle.txt "$out"/give-up.txt 2>/dev/null |
  awk -F' [|] ' '{printf "%-70s %s\n", $1, $2}'
