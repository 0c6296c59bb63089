#!/usr/bin/env bash
# Runs a command on a display of its own (a fresh Xvfb) and a session bus of
# its own, so that tests running side by side never see each other's windows
# or application identifiers. No accessibility bus; the renderer is left to
# the program (the game picks cairo itself).
# The server is kept from resetting when its last client leaves, so two
# programs started one after the other both find it up. The programs speak
# the game's own texts, whatever the language of the session the tests run
# in; a test that wants another language sets it for its program.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; rm -f "$fifo"' EXIT
read -r -t 20 display <"$fifo"

export DISPLAY=":$display" GTK_A11Y=none NO_AT_BRIDGE=1 LANG=C.UTF-8
unset WAYLAND_DISPLAY LANGUAGE LC_ALL LC_MESSAGES
dbus-run-session -- "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
