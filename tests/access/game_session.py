"""What the access tests share: their checks, which go on after a failure
and are counted at the end, and the game's close as a window manager asks
for it."""
import subprocess
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)
    return condition


def close_game(program, close_window, window, wait_s):
    """Asks the game's window to close and checks that the game then ends
    with status 0 (a game that does not end within `wait_s` is killed)."""
    subprocess.run([close_window, window], timeout=wait_s)
    try:
        status = program.wait(wait_s)
    except subprocess.TimeoutExpired:
        program.kill()
        status = program.wait()
    check(status == 0, "the game ends with status 0, not %s" % status)


def stop(process):
    process.terminate()
    process.wait()
