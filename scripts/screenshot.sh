#!/usr/bin/env bash
# Makes README's picture of the window, data/screenshot.png, from the real
# game: built in build/ as scripts/play.sh builds it, started in English on a virtual
# display of its own, taken once its board is drawn and the picture no
# longer changes. Run it again whenever the window's look changes.
# Usage: scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data/screenshot.png}
# The build, the virtual display, xdotool, imagemagick and the en_US locale.
scripts/install-deps.sh test >/dev/null
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target tavelorn >/dev/null

take() { # OUTPUT: what a player sees of the game's window at the start
  local out=$1 work wid shot previous="" status=1
  work=$(mktemp -d)
  LANG=en_US.UTF-8 build/tavelorn -l >/dev/null &
  local game=$!
  wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$game" --name '^Tavelorn' | head -n 1)
  for shot in $(seq 1 50); do
    [ -n "$wid" ] || break
    import -window "$wid" "$work/$shot.png"
    if [ -n "$previous" ] && [ "$(compare -metric AE "$previous" "$work/$shot.png" null: 2>&1)" = 0 ]; then
      # Without the time stamps a PNG carries, so that the same window gives
      # the same file.
      convert "$work/$shot.png" -strip -define png:exclude-chunks=date,time "$out"
      status=0
      break
    fi
    previous=$work/$shot.png
    sleep 0.2
  done
  kill "$game"
  rm -rf "$work"
  [ "$status" -eq 0 ] || echo "screenshot: no steady picture of the window" >&2
  return "$status"
}
export -f take
tests/support/with-xvfb.sh bash -c 'take "$1"' take "$out"
echo "screenshot: $out"
