#!/usr/bin/env bash
# Checks what an install puts where, two ways.
# A staged install of a build tree (CTest): the game, its manual page,
# desktop entries, metainfo and icon, accepted by their validators, its
# catalogues, which the installed game finds wherever it is; then GAME
# is started in each mode under a headless Wayland compositor, and the
# identifier its window announces must name a desktop entry of the install.
#   check-install.sh BUILD_DIR APP_ID BINDIR DATADIR MANDIR GAME
# The Debian package, as root in a fresh Debian root, from the source tree:
# installed with apt alone, its autopkgtest run against it, the same files
# checked in the games layout (piuparts, in the package stage, removes and
# purges it and looks for what it leaves).
#   check-install.sh --package DEB
set -euo pipefail

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
key() { sed -n "s/^$2=//p" "$1"; }
# appstreamcli with ARGUMENTS reports no error and no warning (infos and
# pedantic notes may remain).
appstream_clean() {
  local report
  report=$(appstreamcli "$@" 2>&1) || fail "appstreamcli $1 fails"
  echo "$report"
  ! grep -Eq '^ *[EW]: ' <<<"$report" || fail "appstreamcli $1 reports an error or a warning"
}

# The languages the game is translated into.
languages=$(sed 's/#.*//' "$(dirname "$0")/../../po/LINGUAS")

# The installed files under ROOT: the files name each other through the one
# identifier, only the base identifier's entry shows in menus, the validators
# accept them all, the manual page renders without a warning, and the desktop
# entries, the metainfo and the game itself speak each language of the
# catalogues installed beside them.
check_tree() { # ROOT APP_ID BINDIR DATADIR MANDIR
  local root=$1 app_id=$2 bindir=$3 datadir=$4 mandir=$5
  apps="$root/$datadir/applications"
  desktop="$apps/$app_id.desktop"
  local metainfo="$root/$datadir/metainfo/$app_id.metainfo.xml"
  local icon="$root/$datadir/icons/hicolor/scalable/apps/$app_id.svg"
  local manpage="$root/$mandir/man6/tavelorn.6"
  local lang
  [ -x "$root/$bindir/tavelorn" ] || fail "$bindir/tavelorn is not installed as a program"
  for lang in $languages; do
    [ -s "$root/$datadir/locale/$lang/LC_MESSAGES/tavelorn.mo" ] || fail "the $lang catalogue is not installed"
  done
  [ -f "$manpage" ] || [ -f "$manpage.gz" ] || fail "$mandir/man6/tavelorn.6 is missing"
  for file in "$desktop" "$metainfo" "$icon"; do
    [ -s "$file" ] || fail "${file#"$root/"} is missing"
  done
  [ "$failures" -eq 0 ] || exit 1

  appstream_clean validate --pedantic --no-net "$metainfo"
  for entry in "$apps"/*.desktop; do
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects ${entry##*/}"
    local hidden=true
    [ "$entry" = "$desktop" ] && hidden=false
    [ "$(key "$entry" NoDisplay)" = "$hidden" ] || fail "${entry##*/}: NoDisplay is not $hidden"
  done
  [ "$(key "$desktop" Exec)" = "tavelorn -l" ] || fail "desktop Exec is '$(key "$desktop" Exec)'"
  grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $app_id.desktop"
  grep -q '@[A-Z_]*@' "$apps"/*.desktop "$metainfo" && fail "a placeholder was left unreplaced"

  # English at the source, each language merged in from its catalogue.
  [ "$(key "$desktop" 'Comment\[fr\]')" = "Jeu de stratégie à deux joueurs, sur un écran ou en réseau" ] ||
    fail "the desktop entry's French comment is '$(key "$desktop" 'Comment\[fr\]')'"
  [ -n "$(key "$desktop" 'Comment\[de\]')" ] || fail "the desktop entry has no German comment"
  grep -q '<summary xml:lang="de">' "$metainfo" || fail "the metainfo has no German summary"
  grep -n '\[en\]=' "$apps"/*.desktop && fail "a desktop entry repeats its English texts as [en] keys"
  grep -n 'xml:lang="en"' "$metainfo" && fail "the metainfo repeats its English texts as English ones"
  grep -n '^#' "$apps"/*.desktop && fail "a desktop entry holds a comment, for translators"
  local said
  said=$(env -u LC_ALL -u LANGUAGE LANG=de_DE.UTF-8 "$root/$bindir/tavelorn" -c 127.0.0.1 2>&1 >/dev/null || true)
  [ "$said" = "Erwartetes Format: <ip:port>" ] || fail "the installed game does not speak German: '$said'"

  local warnings
  warnings=$(zcat -f "$manpage"* | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1) || fail "groff fails on the manual page"
  [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"

  # The icon is an SVG image; where the image loaders can read SVG, it loads.
  grep -q '<svg ' "$icon" || fail "the icon is not an SVG image"
  local loaders
  loaders=$(pkg-config --variable=gdk_pixbuf_cache_file gdk-pixbuf-2.0 2>/dev/null || true)
  if [ -n "$loaders" ] && grep -q 'image/svg' "$loaders" 2>/dev/null; then
    gdk-pixbuf-thumbnailer -s 64 "$icon" "$(mktemp -d)/icon.png" || fail "the icon does not load"
  else
    echo "note: no SVG image loader here, the icon was not rendered"
  fi
}

# The package in a root that never had a build tool: apt installs it with
# only what its Depends pull in; its own tests (debian/tests) run against it
# there under autopkgtest, as Debian's CI runs them; its files are checked.
if [ "${1:-}" = --package ]; then
  deb=$2
  [ "$(id -u)" -eq 0 ] || { echo "check-install: --package runs as root, in a root of its own" >&2; exit 2; }
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends "$deb"
  build_deps=$(sed -n '/^Build-Depends:/,/^[A-Z][^:]*:/p' debian/control | sed '1s/^Build-Depends://;$d' |
               tr ',' '\n' | sed 's/[[:space:]]*[(<[].*//; s/[[:space:]]//g' | grep -v '^debhelper-compat$' || true)
  for pkg in $build_deps debhelper g++ make; do
    if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      fail "build dependency $pkg is installed: the root proves nothing about the package's Depends"
    fi
  done
  files=$(dpkg -L tavelorn)
  app_id=$(sed -n 's|^/usr/share/metainfo/\(.*\)\.metainfo\.xml$|\1|p' <<<"$files")

  # What the checks need comes after the package, so it cannot mask a missing
  # dependency. autopkgtest comes first and installs only what each test
  # names, so a test that lacks one of its Depends fails here too.
  apt-get install -y -q --no-install-recommends autopkgtest >/dev/null
  results=$(mktemp -d)
  status=0
  autopkgtest --output-dir "$results/out" "$deb" . -- null || status=$?
  sed 's/^/autopkgtest summary: /' "$results/out/summary" 2>/dev/null || true
  [ "$status" -eq 0 ] || fail "autopkgtest ends with status $status"
  rm -rf "$results"
  apt-get install -y -q --no-install-recommends desktop-file-utils appstream man-db locales >/dev/null
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 # a German player's locale
  check_tree /usr "$app_id" games share share/man
  tree=$(mktemp -d)
  while read -r file; do
    [ -d "$file" ] || { mkdir -p "$tree${file%/*}"; cp -a "$file" "$tree$file"; }
  done <<<"$files"
  appstream_clean validate-tree --no-net "$tree"
  rm -rf "$tree"
  warnings=$(MANWIDTH=80 man --warnings 6 tavelorn 2>&1 >/dev/null) || fail "man 6 tavelorn fails"
  [ -z "$warnings" ] || fail "man 6 tavelorn warns: $warnings"
  MANWIDTH=80 man 6 tavelorn 2>/dev/null | grep -q 'tavelorn -c address:port' || fail "man 6 tavelorn shows no synopsis"
  [ "$failures" -eq 0 ] && echo "package OK: installed, its tests passed, its files checked"
  [ "$failures" -eq 0 ]
  exit
fi

# A staged install of the build tree. GTK hands the compositor the
# application identifier only when the application is on a session bus
# (otherwise the program name): a private one.
[ -n "${TAVELORN_CHECK_BUS:-}" ] || exec env TAVELORN_CHECK_BUS=1 dbus-run-session -- bash "$0" "$@"
build=$1 app_id=$2 bindir=$3 datadir=$4 mandir=$5 game=$6

stage="$build/packaging-stage"
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
check_tree "$stage/usr" "$app_id" "$bindir" "$datadir" "$mandir"
appstream_clean validate-tree --no-net "$stage"

# The examples are no part of the game: installed only as their own component.
DESTDIR="$stage/examples" cmake --install "$build" --prefix /usr --component examples >/dev/null
for program in example-label example-window; do
  [ ! -e "$stage/usr/$bindir/$program" ] || fail "$program is installed with the game"
  [ -x "$stage/examples/usr/$bindir/$program" ] || fail "the examples component does not install $program"
done

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

[ "$failures" -eq 0 ] && echo "staged install OK: $stage"
[ "$failures" -eq 0 ]
