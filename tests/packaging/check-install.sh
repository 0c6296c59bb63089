#!/usr/bin/env bash
# Stages an install of the build tree and checks what lands where; then starts
# GAME in each mode under a headless Wayland compositor and checks that the
# identifier its window announces names a desktop entry of the install.
# Usage: check-install.sh BUILD_DIR APP_ID BINDIR DATADIR GAME
set -euo pipefail
# GTK hands the compositor the application identifier only when the
# application is on a session bus (otherwise the program name): a private one.
[ -n "${TAVELORN_CHECK_BUS:-}" ] || exec env TAVELORN_CHECK_BUS=1 dbus-run-session -- bash "$0" "$@"
build=$1 app_id=$2 bindir=$3 datadir=$4 game=$5

stage="$build/packaging-stage"
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/usr"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for program in tavelorn example-label example-window; do
  [ -x "$root/$bindir/$program" ] || fail "$bindir/$program is not installed as a program"
done

apps="$root/$datadir/applications"
desktop="$apps/$app_id.desktop"
metainfo="$root/$datadir/metainfo/$app_id.metainfo.xml"
icon="$root/$datadir/icons/hicolor/scalable/apps/$app_id.svg"
for file in "$desktop" "$metainfo" "$icon"; do
  [ -s "$file" ] || fail "${file#"$root/"} is missing"
done
[ "$failures" -eq 0 ] || exit 1

appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"

# The files name each other through the one identifier; only the base
# identifier's entry shows in menus.
key() { sed -n "s/^$2=//p" "$1"; }
for entry in "$apps"/*.desktop; do
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry##*/}"
  hidden=true
  [ "$entry" = "$desktop" ] && hidden=false
  [ "$(key "$entry" NoDisplay)" = "$hidden" ] || fail "${entry##*/}: NoDisplay is not $hidden"
done
[ "$(key "$desktop" Exec)" = "tavelorn -l" ] || fail "desktop Exec is '$(key "$desktop" Exec)'"
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $app_id.desktop"
grep -q '@[A-Z_]*@' "$apps"/*.desktop "$metainfo" && fail "a placeholder was left unreplaced"

# The icon is an SVG image; where the image loaders can read SVG, it loads.
grep -q '<svg ' "$icon" || fail "the icon is not an SVG image"
loaders=$(pkg-config --variable=gdk_pixbuf_cache_file gdk-pixbuf-2.0 2>/dev/null || true)
if [ -n "$loaders" ] && grep -q 'image/svg' "$loaders" 2>/dev/null; then
  gdk-pixbuf-thumbnailer -s 64 "$icon" "$stage/icon.png" || fail "the icon does not load"
else
  echo "note: no SVG image loader here, the icon was not rendered"
fi

# Each mode's window, as a Wayland shell sees it.
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d) # mode 0700
log=$XDG_RUNTIME_DIR
stop() { # ends one of this script's processes, within 5 s
  kill "$1" 2>/dev/null || return 0
  for _ in {1..50}; do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  for pid in $(jobs -p); do stop "$pid"; done
  rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
unset DISPLAY WAYLAND_DISPLAY

weston --backend=headless-backend.so --socket=compositor >"$log/weston.log" 2>&1 &
weston=$!
for _ in {1..200}; do
  [ -S "$XDG_RUNTIME_DIR/compositor" ] || ! kill -0 "$weston" 2>/dev/null && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/compositor" ] || { cat "$log/weston.log" >&2; fail "weston did not start"; exit 1; }

start() { # NAME ARGUMENTS...: starts the game, its output in $log/NAME.*
  local name=$1; shift
  WAYLAND_DISPLAY=compositor GDK_BACKEND=wayland WAYLAND_DEBUG=1 GTK_A11Y=none \
    "$game" "$@" >"$log/$name.out" 2>"$log/$name.err" &
}
window_id() { # NAME PID: the identifier the window announced, once it is configured
  for _ in {1..200}; do
    grep -qs 'xdg_surface[@#][0-9]*\.ack_configure' "$log/$1.err" || ! kill -0 "$2" 2>/dev/null && break
    sleep 0.1
  done
  sed -n 's/.*xdg_toplevel[@#][0-9]*\.set_app_id("\([^"]*\)").*/\1/p' "$log/$1.err" | tail -n 1
}
check_entry() { # NAME ARGUMENTS ID: a desktop entry with the game's name and icon names the window
  local entry="$apps/$3.desktop"
  if [ -z "$3" ]; then
    fail "tavelorn $2: the window announced no identifier"
    tail -n 20 "$log/$1.out" "$log/$1.err" >&2
  elif [ ! -f "$entry" ]; then
    fail "tavelorn $2: no desktop entry $3.desktop"
  else
    [ "$(key "$entry" Name)" = Tavelorn ] || fail "$3.desktop: Name is '$(key "$entry" Name)'"
    [ "$(key "$entry" Icon)" = "$app_id" ] || fail "$3.desktop: Icon is '$(key "$entry" Icon)'"
  fi
}

for mode in -l x; do
  start "$mode" "$mode" && pid=$!
  check_entry "$mode" "$mode" "$(window_id "$mode" "$pid")"
  stop "$pid"
done
for _ in {1..5}; do # a free port
  port=$((20000 + RANDOM % 40000))
  start server -s "$port" && server=$!
  server_id=$(window_id server "$server")
  [ -n "$server_id" ] || ! grep -q 'Failed to start server' "$log/server.out" && break
done
start client -c "127.0.0.1:$port" && client=$!
check_entry client "-c 127.0.0.1:$port" "$(window_id client "$client")"
check_entry server "-s $port" "$server_id"
stop "$client"
stop "$server"

[ "$failures" -eq 0 ] && echo "staged install OK: $root"
[ "$failures" -eq 0 ]
