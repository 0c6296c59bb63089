#!/usr/bin/python3
"""A whole game by ear, with the real screen reader's own keys, in English.

Starts the accessibility bus, a local game and Orca with preferences of its
own and a debug file, which is where it writes what it would say ("SPEECH
OUTPUT" lines), all under the player's locale en_US.UTF-8. Orca's flat review
first goes to C7 by lines and words, clicks it and hears it selected, clicks
it again and hears the selection dropped. The game is then played in Orca's
focus mode, as in any other program: each square is reached by typing its
name (a letter, then a digit) and heard, Space takes a piece up and puts it
down, and each move is heard with the side to move next; Escape once drops
Red's king. Blue's seventh move takes Red's king: the end is heard, and
Return closes the alert. With the window given the focus again, as a window
manager gives it, a typed name and an arrow key speak squares of the final
position, Space makes no move, and the status key speaks the labels and the
result. Flat review then reads a row of the final position. Skips (status 77) where
Orca is not installed.

Usage: orca_play.py GAME CLOSE_WINDOW
Needs a display and a session bus of its own (run it through with-xvfb.sh).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import tty

from game_session import check, close_game, failures, stop

WAIT_S = 20
SKIP = 77

game, close_window = sys.argv[1:3]
orca_program = shutil.which("orca")
if not orca_program:
    print("SKIP: Orca is not installed")
    sys.exit(SKIP)

# Orca will not start beside another Orca of the same user, anywhere on the
# machine (and its --replace would end that one, which may be the reader of
# whoever runs this). As root it runs where it sees no other process: in a
# process namespace of its own, with a /proc of its own (made by hand, since a
# chroot's root cannot be made private as --mount-proc does).
alone = ["unshare", "--pid", "--fork", "--kill-child", "--mount", "--propagation", "unchanged", "sh", "-c",
         'mount --make-private /proc && mount -t proc proc /proc && exec "$@"', "alone"]
if os.geteuid() != 0 or subprocess.run(alone + ["true"], capture_output=True).returncode != 0:
    alone = []
    if subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"], capture_output=True).returncode == 0:
        print("SKIP: another Orca of this user is running")
        sys.exit(SKIP)

for name in ("GTK_A11Y", "NO_AT_BRIDGE", "LANGUAGE", "LC_ALL", "LC_MESSAGES"):
    os.environ.pop(name, None)
# The player's own locale, as scripts/install-deps.sh makes it; Orca reads it
# too. Orca reads its settings through GSettings; an X11 keyboard lets
# xdotool's keys reach it.
LOCALE = "en_US.UTF-8"
if "en_US.utf8" not in subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split():
    print("FAIL: no %s locale here (scripts/install-deps.sh test makes it)" % LOCALE, file=sys.stderr)
    sys.exit(1)
os.environ.update(LANG=LOCALE, GSETTINGS_BACKEND="memory", GDK_BACKEND="x11")
work = tempfile.mkdtemp()
bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
output = open(os.path.join(work, "game.out"), "w+")
program = subprocess.Popen([game, "-l"], stdout=output, stderr=subprocess.STDOUT)
window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(program.pid), "--name",
                         "^Tavelorn"], capture_output=True, text=True, timeout=WAIT_S).stdout.split()[0]

# Orca's debug file is a terminal here: some releases write a plain file in
# blocks, a terminal always line by line, so each utterance is read as soon as
# it is said. Everything goes on to orca.log too.
SPEECH = re.compile(r"SPEECH OUTPUT: '(.*?)'(?: ?\[?\{|$)")
said = []  # what Orca has said, in order

log_master, log_terminal = os.openpty()
tty.setraw(log_terminal)


def read_debug_output():
    with open(os.path.join(work, "orca.log"), "w", buffering=1, errors="replace") as copy, \
            os.fdopen(log_master, "r", errors="replace", newline="\n") as lines:
        try:
            for line in lines:
                copy.write(line)
                match = SPEECH.search(line)
                if match:
                    said.append(match.group(1))
        except OSError:  # the terminal closed
            pass


threading.Thread(target=read_debug_output, daemon=True).start()
orca = subprocess.Popen(alone + [orca_program, "-u", os.path.join(work, "prefs"),
                                 "--debug-file=" + os.ttyname(log_terminal)],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

# Orca's flat review keys (its desktop layout, NumLock off) by their key codes
# on the virtual display: xdotool reaches some keypad keys by their names
# only through a modifier, which Orca then takes as part of the key. Other
# keys go by name (xdotool reads a code that is also a key's name, such as
# Escape's 9, as that key).
KEYS = {"Return": 36, "KP_Subtract": 82, "KP_Up": 80, "KP_Prior": 81, "KP_Right": 85, "KP_Divide": 106, "Up": 111,
        "space": 65}


def key(name):
    """Presses and releases a key as a hand does: Orca takes a review key
    released before it has handled the press for other input, and starts its
    review again from the top."""
    code = str(KEYS.get(name, name))
    subprocess.run(["xdotool", "keydown", code, "sleep", "0.2", "keyup", code], check=True, timeout=WAIT_S)


def listen(text, seconds=WAIT_S):
    """Waits until Orca has said something holding `text` since the last
    call."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if any(text in utterance for utterance in said[listen.seen:]):
            listen.seen = len(said)
            return True
        time.sleep(0.05)
    return False


listen.seen = 0


def press(names, text, what):
    """Presses the keys one after the other, then waits to hear `text`, and
    prints what Orca said meanwhile."""
    start = len(said)
    for name in names.split():
        key(name)
    heard = check(listen(text), what + "; Orca said " + repr(said[-6:]))
    if heard:
        print("%s: Orca said %r" % (names, said[start:]))
    return heard


def review_until(name, prefix, what, tries=12):
    """Presses a review key until Orca answers with something that starts
    with `prefix`, and returns that."""
    for _ in range(tries):
        before = len(said)
        key(name)
        deadline = time.monotonic() + WAIT_S  # in review, every key is answered
        while len(said) == before and time.monotonic() < deadline:
            time.sleep(0.05)
        time.sleep(0.1)
        for utterance in said[before:]:
            if utterance.startswith(prefix):
                listen.seen = len(said)
                return utterance
    check(False, what + "; Orca said " + repr(said[-6:]))
    return None


def enter_board_line(first_square):
    """Flat review from the window's top, down line by line to a board row."""
    if press("KP_Subtract", "Entering flat review.", "flat review starts"):
        return review_until("KP_Prior", first_square + ", ", "the review reaches row " + first_square)
    return None


def moves_made():
    output.seek(0)
    return [line for line in output.read().splitlines() if line.startswith("[LOG]")]


# The game: each move's keys and what Orca says for them, in order.
GAME = [
    ("c 7", "C7, blue soldier"), ("space", "C7, blue soldier, selected"), ("c 5", "C5, empty"),
    ("space", "Blue: soldier from C7 to C5, nothing captured. Red's turn."),
    ("f 2", "F2, red soldier"), ("space", "F2, red soldier, selected"), ("f 5", "F5, empty"),
    ("space", "Red: soldier from F2 to F5, nothing captured. Blue's turn."),
    ("b 6", "B6, blue soldier"), ("space", "B6, blue soldier, selected"), ("b 5", "B5, empty"),
    ("space", "Blue: soldier from B6 to B5, nothing captured. Red's turn."),
    ("g 2", "G2, red soldier"), ("space", "G2, red soldier, selected"), ("a 2", "A2, empty"),
    ("space", "Red: soldier from G2 to A2, nothing captured. Blue's turn."),
    ("c 9", "C9, blue soldier"), ("space", "C9, blue soldier, selected"), ("b 9", "B9, empty"),
    ("space", "Blue: soldier from C9 to B9, nothing captured. Red's turn."),
    ("h 2", "H2, red king"), ("space", "H2, red king, selected"), ("Escape", "Selection cancelled."),
    ("space", "H2, red king, selected"), ("d 2", "D2, empty"),
    ("space", "Red: king from H2 to D2, nothing captured. Blue's turn."),
    ("d 8", "D8, blue soldier"), ("space", "D8, blue soldier, selected"), ("d 3", "D3, empty"),
]
END = "Game over: Red's king has fallen, or Blue has conquered — Blue wins!"
LAST_MOVE = "Blue: soldier from D8 to D3, 1 piece captured. " + END
STATUS = ("Red's turn. Turn 8 / 64. Blue Player: Control: 14 | Soldiers: 9. "
          "Red Player: Control: 12 | Soldiers: 9. " + END)


def play_the_game():
    for names, text in GAME:
        if not press(names, text, "in focus mode, %s brings %r" % (names, text)):
            return False
    # The alert may be read before or after the last move's announcement.
    start = listen.seen = len(said)
    key("space")
    check(listen(LAST_MOVE), "Orca speaks the last move and the end; it said " + repr(said[-6:]))
    listen.seen = start
    return check(listen(END + " Click OK to continue."), "Orca reads the alert; it said " + repr(said[-6:]))


def read_the_final_position():
    """The alert closed, the window focused again: the final position read
    by keys, none of them making a move."""
    key("Return")
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True, timeout=WAIT_S)
    moves = moves_made()
    check(len(moves) == 7 and moves[-1] == "[LOG] Bleu déplace Soldat de (1,3) vers (6,3)",
          "the game's seven moves are made: " + repr(moves))
    if press("h 2", "H2, empty, controlled by Red", "after the end, a typed name is heard") and \
            press("Up", "H3, red soldier", "after the end, an arrow key is heard"):
        key("space")
        press("h 2 space s", STATUS, "the status key is heard with the result")
        check(moves_made() == moves, "no move is made after the end: " + repr(moves_made()[len(moves):]))
    # Flat review starts on the focused square's row, where Red's king fell.
    if press("KP_Subtract", "Entering flat review.", "flat review starts again"):
        row = review_until("KP_Up", "A2, ", "the review reads row 2")
        check(row and "A2, red soldier" in row and "D2, empty" in row, "row 2 reads the final position: " + repr(row))
        press("KP_Subtract", "Leaving flat review.", "flat review ends again")


if check(listen("Tavelorn - Local", 60), "Orca reads the game's window; it said " + repr(said)):
    if enter_board_line("A7") and review_until("KP_Right", "C7, ", "the review reaches C7 word by word"):
        press("KP_Divide", "C7, blue soldier, selected", "Orca's click on C7 selects it")
        press("KP_Divide", "Selection cancelled.", "Orca's second click on C7 drops it")
        press("KP_Subtract", "Leaving flat review.", "flat review ends")
    if not failures and play_the_game():
        read_the_final_position()

orca.terminate()
try:
    orca.wait(5)
except subprocess.TimeoutExpired:  # it may linger over its clean-up
    orca.kill()
    orca.wait()
close_game(program, close_window, window, WAIT_S)
stop(bus)
if failures:
    output.seek(0)
    sys.stderr.write(output.read()[-2000:])
    with open(os.path.join(work, "orca.log"), errors="replace") as lines:
        sys.stderr.write("".join(lines.readlines()[-60:]))
sys.exit(1 if failures else 0)
