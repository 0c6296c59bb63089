#!/usr/bin/env bash
# Starts one example program, checks the one window it opens, closes that
# window as a user would and checks that the program ends cleanly and quietly.
# Usage: check-example.sh PROGRAM label|empty CLOSE_WINDOW
# Needs a display of its own (run it through with-xvfb.sh).
set -euo pipefail

program=$1 content=$2 close_window=$3
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The sanitizer's list of suppressed library leaks is not the program's output.
if [ -n "${LSAN_OPTIONS:-}" ]; then export LSAN_OPTIONS="$LSAN_OPTIONS:print_suppressions=0"; fi

"$program" >"$work/out" 2>"$work/err" &
pid=$!

wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Exemple$' | head -n 1) || fail "no window titled Exemple"

# Exactly one visible window titled "Exemple", and it is the program's only
# visible window (GTK's 1x1 helper windows are never mapped).
titled=$(xdotool search --onlyvisible --name '^Exemple$' | sort -u)
[ "$titled" = "$wid" ] || fail "expected one window titled Exemple, found: $(echo $titled)"
owned=$(xdotool search --onlyvisible --pid "$pid" | sort -u)
[ "$owned" = "$wid" ] || fail "expected one visible window of the program, found: $(echo $owned)"
[ "$(xdotool getwindowname "$wid")" = Exemple ] || fail "title is '$(xdotool getwindowname "$wid")'"

eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" = 800 ] && [ "$HEIGHT" = 500 ] || fail "window is ${WIDTH}x${HEIGHT}, expected 800x500"

# Dark pixels (text) in the middle band where a centred label sits, and the
# mean brightness of the whole window; before the first frame it is black.
ink() { convert "$work/shot.png" -crop 500x60+150+220 +repage -colorspace Gray -threshold 50% \
          -format '%[fx:round(w*h*(1-mean))]' info:; }
painted() { convert "$work/shot.png" -colorspace Gray -format '%[fx:mean > 0.5]' info:; }
content_shown() {
  import -window "$wid" "$work/shot.png" 2>/dev/null || return 1
  [ "$(painted)" = 1 ] || return 1
  local dark; dark=$(ink)
  if [ "$content" = label ]; then [ "$dark" -gt 20 ]; else [ "$dark" -eq 0 ] && [ "$(convert "$work/shot.png" -format %k info:)" = 1 ]; fi
}
deadline=$((SECONDS + 10))
until content_shown; do
  [ $SECONDS -lt $deadline ] || fail "window content is not the expected '$content' window"
  sleep 0.2
done

# Closing the window ends the program with status 0.
"$close_window" "$wid"
deadline=$((SECONDS + 10))
while kill -0 "$pid" 2>/dev/null; do
  [ $SECONDS -lt $deadline ] || fail "still running after its window was closed"
  sleep 0.1
done
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"

[ ! -s "$work/out" ] || fail "wrote to standard output: $(head -c 500 "$work/out")"
[ ! -s "$work/err" ] || fail "wrote to standard error: $(head -c 500 "$work/err")"
echo "ok: $(basename "$program") ($content)"
