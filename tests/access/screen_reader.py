#!/usr/bin/python3
"""The real game read and played through AT-SPI, as a screen reader does.

Starts the accessibility bus, then a local game, and reads its window: the
five status labels and the board "Plateau" with the position (its squares from
GTK 4.10, its description on GTK 4.8). Then presses C7 and C5 where AT-SPI
says they are, and reads the selection, the move and, from GTK 4.14, its
announcement with the side to move next (and those of a selection and of its
drop); on GTK 4.8, keys then give the board the cursor's square's name. From
GTK 4.14 it also plays the game to its 64-move end and waits for the announcement of the
end. Closes the window as a user would. Last, reads the window of a game in
English, under a locale made as a player makes one, and in German, through
LANGUAGE before that locale's English: its title, labels, board and a
square.

Usage: screen_reader.py GAME CLOSE_WINDOW GTK_VERSION
Needs a display and a session bus of its own (run it through with-xvfb.sh).
"""
import os
import subprocess
import sys
import tempfile
import time

from game_session import check, close_game, failures, stop

WAIT_S = 30

game, close_window, gtk_version = sys.argv[1:4]
gtk = tuple(int(part) for part in gtk_version.split(".")[:2])
squares = gtk >= (4, 10)
announces = gtk >= (4, 14)

for name in ("GTK_A11Y", "NO_AT_BRIDGE"):
    os.environ.pop(name, None)
bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
import pyatspi  # noqa: E402  (reads the accessibility bus the launcher gives)
from gi.repository import GLib  # noqa: E402



def pump():
    while GLib.MainContext.default().iteration(False):
        pass


def wait_for(predicate, what, seconds=WAIT_S):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        pump()
        try:
            value = predicate()
        except Exception:  # an object may go while it is read
            value = None
        if value:
            return value
        time.sleep(0.05)
    check(False, what)
    return None


def find(accessible, test):
    if test(accessible):
        return accessible
    for child in accessible:
        if child is not None:
            found = find(child, test)
            if found is not None:
                return found
    return None


def game_frame():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "tavelorn":
            return find(app, lambda a: a.getRoleName() == "frame" and a.name.startswith("Tavelorn"))
    return None


def labels(frame):
    names = []
    for child in frame:
        if child.getRoleName() == "label":
            names.append(child.name)
        names += labels(child)
    return names


def square(board, row, col):
    return board.getChildAtIndex(row * 9 + col)


def square_name(board, row, col):
    return square(board, row, col).name


announcements = []


def on_announcement(event):
    announcements.append(str(event.any_data))


# ---------------------------------------------------------------------------
# The window after start-up

# The game's own texts, whatever language the tests themselves run in.
FRENCH = dict(os.environ, LANG="C.UTF-8")
for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES"):
    FRENCH.pop(name, None)

output = tempfile.TemporaryFile()
program = subprocess.Popen([game, "-l"], stdout=output, stderr=output, env=FRENCH)
if announces:
    pyatspi.Registry.registerEventListener(on_announcement, "object:announcement")

frame = wait_for(game_frame, "the game window is read through AT-SPI")
board = frame and wait_for(lambda: find(frame, lambda a: a.name == "Plateau"), "the board is named Plateau")
window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(program.pid), "--name",
                         "^Tavelorn"], capture_output=True, text=True, timeout=WAIT_S).stdout.split()[0]

START = ("Bleu : roi B8 ; soldats C9, D9, C8, D8, A7, B7, C7, A6, B6. "
         "Rouge : roi H2 ; soldats H4, I4, G3, H3, I3, F2, G2, F1, G1.")
if board:
    check(sorted(labels(frame)) == sorted(["Joueur Bleu", "Contrôle: 10 | Soldats: 9", "Tour 1 / 64",
                                           "Au tour de: Bleu", "Joueur Rouge", "Contrôle: 10 | Soldats: 9",
                                           "Tour 1 / 64"]), "the labels read " + repr(labels(frame)))
    if squares:
        check(board.getRoleName() == "table" and board.childCount == 81,
              "the board is a table of 81 squares, not %s of %d" % (board.getRoleName(), board.childCount))
        check([square_name(board, 0, c) for c in range(3)] == ["A9, coin", "B9, vide", "C9, soldat bleu"],
              "the first row reads A9, B9, C9")
        check(square_name(board, 7, 7) == "H2, roi rouge", "H2 holds the red king")
    else:
        check(board.getRoleName() == "image", "the board is an image, not " + board.getRoleName())
        check(board.description == START, "the board describes the new game: " + repr(board.description))


# ---------------------------------------------------------------------------
# Presses where AT-SPI places the squares


def square_centre(row, col):
    """The centre of a square in the window's coordinates: from its own
    reported bounds when it is an object, else from the board's."""
    if squares:
        extents = square(board, row, col).queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        return extents.x + extents.width // 2, extents.y + extents.height // 2
    extents = board.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    return extents.x + 30 + 52 * col + 26, extents.y + 30 + 52 * row + 26


def press(row, col):
    x, y = square_centre(row, col)
    subprocess.run(["xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1"], check=True,
                   timeout=WAIT_S)


def is_selected(row, col):
    return square(board, row, col).getState().contains(pyatspi.STATE_SELECTED)


if board:
    press(2, 2)
    if squares:
        wait_for(lambda: is_selected(2, 2), "C7 is selected after a press on its bounds")
    else:
        wait_for(lambda: board.description == START + " Pièce sélectionnée : C7.", "the description names C7")
    press(4, 2)
    wait_for(lambda: "Au tour de: Rouge" in labels(frame), "Red is to move after the press on C5")
    if squares:
        check(square_name(board, 2, 2) == "C7, vide, contrôlé par Bleu", "C7 reads " + square_name(board, 2, 2))
        check(square_name(board, 4, 2) == "C5, soldat bleu", "C5 reads " + square_name(board, 4, 2))
        check(not is_selected(2, 2), "the selection ends with the move")
    else:
        check(board.description == START.replace("A6, B6.", "A6, B6, C5.").replace("B7, C7,", "B7,"),
              "the description follows the move: " + repr(board.description))
    if announces:
        wait_for(lambda: "Bleu : soldat de C7 à C5, aucune prise. Au tour de: Rouge." in announcements,
                 "the move is announced with the side to move next: " + repr(announcements[-1:]))
        # Red's king taken up, then put down by a second press on it.
        press(7, 7)
        press(7, 7)
        wait_for(lambda: announcements[-2:] == ["H2, roi rouge, sélectionné", "Sélection annulée."],
                 "a selection and its drop are announced: " + repr(announcements[-2:]))


# ---------------------------------------------------------------------------
# The end of a game, announced with the alert's message

if board and announces:
    # The kings step out and back until the 64th move; Red moves first here.
    shuttle = [((7, 7), (8, 7)), ((1, 1), (1, 0)), ((8, 7), (7, 7)), ((1, 0), (1, 1))]
    clicks = []
    for move in range(63):
        for row, col in shuttle[move % 4]:
            x, y = square_centre(row, col)
            clicks += ["mousemove", "--window", window, str(x), str(y), "click", "1"]
    subprocess.run(["xdotool"] + clicks, check=True, timeout=120)
    end = "Rouge : roi de H1 à H2, aucune prise. Fin (64 tours). Score Bleu 21 > Rouge 20 — Bleu gagne !"
    wait_for(lambda: end in announcements, "the end is announced: " + repr(announcements[-2:]))

# ---------------------------------------------------------------------------
# Keys on GTK 4.8, where the board keeps the focus: its name follows the cursor

if board and not squares:
    def keys(*names):
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "--delay", "30"] + list(names),
                       check=True, timeout=WAIT_S)

    # The last press left the cursor on C5: the first key names it there.
    keys("Up")
    wait_for(lambda: board.name == "C5, soldat bleu", "the first key names C5: " + repr(board.name))
    keys("c", "7")
    wait_for(lambda: board.name == "C7, vide, contrôlé par Bleu", "a typed name names C7: " + repr(board.name))


# ---------------------------------------------------------------------------
# Closing

if announces and board:
    # The end's alert is modal: it goes first, by its one button.
    alert_button = wait_for(lambda: find(pyatspi.Registry.getDesktop(0),
                                         lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "OK"),
                            "the alert has its OK button")
    if alert_button:
        alert_button.queryAction().doAction(0)
        time.sleep(0.5)
close_game(program, close_window, window, WAIT_S)


# ---------------------------------------------------------------------------
# The window in the player's language


def window_of(program):
    return subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(program.pid), "--name",
                           "^Tavelorn"], capture_output=True, text=True, timeout=WAIT_S).stdout.split()[0]


def read_in(language, env, title, label_texts, board_name, c7, description):
    program = subprocess.Popen([game, "-l"], stdout=output, stderr=output, env=dict(FRENCH, **env))
    frame = wait_for(lambda: (lambda f: f if f is not None and f.name == title else None)(game_frame()),
                     "%s: the window is titled %r" % (language, title))
    board = frame and wait_for(lambda: find(frame, lambda a: a.name == board_name),
                               "%s: the board is named %r" % (language, board_name))
    if board:
        check(sorted(labels(frame)) == sorted(label_texts), "%s: the labels read %r" % (language, labels(frame)))
        extents = board.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        check((extents.width, extents.height) == (528, 528),
              "%s: the board is %d x %d" % (language, extents.width, extents.height))
        if squares:
            check(square_name(board, 2, 2) == c7, "%s: C7 reads %r" % (language, square_name(board, 2, 2)))
        else:
            check(board.description.startswith(description),
                  "%s: the board describes the game: %r" % (language, board.description))
    close_game(program, close_window, window_of(program), WAIT_S)


read_in("English", {"LANG": "en_US.UTF-8"}, "Tavelorn - Local",
        ["Blue Player", "Control: 10 | Soldiers: 9", "Turn 1 / 64", "Blue's turn", "Red Player",
         "Control: 10 | Soldiers: 9", "Turn 1 / 64"], "Board", "C7, blue soldier",
        "Blue: king B8; soldiers C9, D9, C8, D8, A7, B7, C7, A6, B6. Red: king H2; soldiers H4,")
read_in("German", {"LANG": "en_US.UTF-8", "LANGUAGE": "de"}, "Tavelorn - Lokal",
        ["Spieler Blau", "Felder: 10 | Soldaten: 9", "Zug 1 / 64", "Blau ist am Zug", "Spieler Rot",
         "Felder: 10 | Soldaten: 9", "Zug 1 / 64"], "Spielbrett", "C7, blauer Soldat",
        "Blau: König B8; Soldaten C9, D9, C8, D8, A7, B7, C7, A6, B6. Rot: König H2; Soldaten H4,")
stop(bus)
if failures:
    output.seek(0)
    sys.stderr.write(output.read().decode(errors="replace")[-3000:])
sys.exit(1 if failures else 0)
