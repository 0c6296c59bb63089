#!/usr/bin/python3
"""Blue's first move made by ear, with the real screen reader's own keys.

Starts the accessibility bus, a local game, then Orca with preferences of its
own and a debug file, which is where it writes what it would say ("SPEECH
OUTPUT" lines). With Orca's flat review keys alone it goes to C7 by lines and
words, clicks it, hears it selected, goes to C5, clicks it, and hears the move;
the game prints the move's "[LOG]" line. Leaving and entering flat review again
then reads the new position. Red's reply is made in Orca's focus mode, as in
any other program: the arrow keys take the focus square by square to H2,
each square heard as it is reached, Space takes the king up, Escape puts it
down again and Space takes it up once more, Down and Space put it on H1, and
the move is heard. The game is then played to its end through the squares'
click actions: Orca speaks the end and reads the alert, and a key closes it.
Skips (status 77) where Orca is not installed.

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

for name in ("GTK_A11Y", "NO_AT_BRIDGE"):
    os.environ.pop(name, None)
# Orca reads its settings through GSettings; an X11 keyboard lets xdotool's
# keys reach it.
os.environ.update(GSETTINGS_BACKEND="memory", GDK_BACKEND="x11")
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


def french(text):
    """Without the space before a colon, which some Orca releases drop."""
    return re.sub(r" +:", ":", text)


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
                    said.append(french(match.group(1)))
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
KEYS = {"Return": 36, "KP_Subtract": 82, "KP_Prior": 81, "KP_Right": 85, "KP_Divide": 106, "Down": 116, "Right": 114,
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
        if any(french(text) in utterance for utterance in said[listen.seen:]):
            listen.seen = len(said)
            return True
        time.sleep(0.05)
    return False


listen.seen = 0


def press(name, text, what):
    key(name)
    return check(listen(text), what + "; Orca said " + repr(said[-6:]))


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


def play_by_focus():
    """Red's king from H2 to H1 with the arrow keys and Space; the cursor is
    on C5, where the last click was. Prints what Orca says for each key."""
    steps = [("Down", "C4, vide"), ("Down", "C3, vide"), ("Down", "C2, vide"), ("Right", "D2, vide"),
             ("Right", "E2, vide"), ("Right", "F2, soldat rouge"), ("Right", "G2, soldat rouge"),
             ("Right", "H2, roi rouge"), ("space", "H2, roi rouge, sélectionné"),
             ("Escape", "Sélection annulée."), ("space", "H2, roi rouge, sélectionné"), ("Down", "H1, vide"),
             ("space", "Rouge : roi de H2 à H1, aucune prise.")]
    for name, text in steps:
        start = len(said)
        if not press(name, text, "in focus mode, %s brings %r" % (name, text)):
            return False
        print("%s: Orca said %r" % (name, said[start:]))
    return True


def play_to_the_end(first):
    """The kings step out and back, through the squares' own click actions,
    until the 64th move, from the shuttle's move `first` on."""
    import pyatspi  # noqa: E402  (reads the accessibility bus the launcher gives)

    def find(accessible):
        if accessible.name == "Plateau":
            return accessible
        for child in accessible:
            found = child and find(child)
            if found:
                return found
        return None

    board = next(find(app) for app in pyatspi.Registry.getDesktop(0) if app and app.name == "tavelorn")
    shuttle = [((7, 7), (8, 7)), ((1, 1), (1, 0)), ((8, 7), (7, 7)), ((1, 0), (1, 1))]
    for move in range(first, 63):
        # Orca drops an announcement that comes within 0.1 s of another: the
        # last move is made at a hand's pace.
        time.sleep(3 if move == 62 else 0.02)
        for row, col in shuttle[move % 4]:
            board.getChildAtIndex(row * 9 + col).queryAction().doAction(0)
            time.sleep(0.5 if move == 62 else 0)


if check(listen("Tavelorn - Local", 60), "Orca reads the game's window; it said " + repr(said)):
    if enter_board_line("A7") and review_until("KP_Right", "C7, ", "the review reaches C7 word by word"):
        press("KP_Divide", "C7, soldat bleu, sélectionné", "Orca's click on C7 selects it")
        if review_until("KP_Prior", "A5, ", "the review goes down to row 5") \
                and review_until("KP_Right", "C5, ", "the review reaches C5"):
            press("KP_Divide", "Bleu : soldat de C7 à C5, aucune prise.", "Orca speaks the move")
            deadline = time.monotonic() + WAIT_S
            while "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)" not in open(output.name).read():
                if not check(time.monotonic() < deadline, "the game applies C7 to C5"):
                    break
                time.sleep(0.1)
    # The review taken afresh reads the squares' new names.
    if press("KP_Subtract", "Leaving flat review.", "flat review ends"):
        row = enter_board_line("A5")
        check(row and "C5, soldat bleu D5, vide" in row, "row 5 reads the soldier on C5: " + repr(row))
        press("KP_Subtract", "Leaving flat review.", "flat review ends again")
    if not failures:
        play_by_focus()
    if not failures:
        # The alert may be read before or after the last move's announcement.
        start = listen.seen = len(said)
        play_to_the_end(1)
        last = "Rouge : roi de H1 à H2, aucune prise. Fin (64 tours). Score Bleu 21 > Rouge 20 — Bleu gagne !"
        check(listen(last), "Orca speaks the last move and the end; it said " + repr(said[-6:]))
        listen.seen = start
        check(listen("Fin (64 tours). Score Bleu 21 > Rouge 20 — Bleu gagne ! Cliquez OK pour continuer."),
              "Orca reads the alert; it said " + repr(said[-6:]))
        key("Return")  # the alert goes, so that the window can be closed below

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
