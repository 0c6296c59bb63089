#!/usr/bin/env bash
# Stages an install of the build tree and checks what lands where.
# Usage: check-install.sh BUILD_DIR APP_ID BINDIR DATADIR
set -euo pipefail
build=$1 app_id=$2 bindir=$3 datadir=$4

stage="$build/packaging-stage"
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/usr"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for program in tavelorn example-label example-window; do
  [ -x "$root/$bindir/$program" ] || fail "$bindir/$program is not installed as a program"
done

desktop="$root/$datadir/applications/$app_id.desktop"
metainfo="$root/$datadir/metainfo/$app_id.metainfo.xml"
icon="$root/$datadir/icons/hicolor/scalable/apps/$app_id.svg"
for file in "$desktop" "$metainfo" "$icon"; do
  [ -s "$file" ] || fail "${file#"$root/"} is missing"
done
[ "$failures" -eq 0 ] || exit 1

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"

# The three files name each other through the one identifier.
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Name)" = Tavelorn ] || fail "desktop Name is '$(key Name)'"
[ "$(key Exec)" = "tavelorn -l" ] || fail "desktop Exec is '$(key Exec)'"
[ "$(key Icon)" = "$app_id" ] || fail "desktop Icon is '$(key Icon)'"
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $app_id.desktop"
grep -q '@[A-Z_]*@' "$desktop" "$metainfo" && fail "a placeholder was left unreplaced"

# The icon is an SVG image; where the image loaders can read SVG, it loads.
grep -q '<svg ' "$icon" || fail "the icon is not an SVG image"
loaders=$(pkg-config --variable=gdk_pixbuf_cache_file gdk-pixbuf-2.0 2>/dev/null || true)
if [ -n "$loaders" ] && grep -q 'image/svg' "$loaders" 2>/dev/null; then
  gdk-pixbuf-thumbnailer -s 64 "$icon" "$stage/icon.png" || fail "the icon does not load"
else
  echo "note: no SVG image loader here, the icon was not rendered"
fi

[ "$failures" -eq 0 ] && echo "staged install OK: $root"
[ "$failures" -eq 0 ]
