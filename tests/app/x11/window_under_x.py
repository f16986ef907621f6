#!/usr/bin/env python3
"""The window program on a real X server: a large encryption shows live progress in the
status line, Escape asks to stop it, Yes ends the program at once and leaves the folder as
it was.

usage: window_under_x.py PATH/TO/lockwell
Exit status 0 passed, 1 failed, 77 skipped (a tool is missing: scripts/deps.sh installs it).
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from lockwell_window import Window  # noqa: E402
from xsession import Failure, XSession, file_sha256, missing_tools, write_data_file  # noqa: E402

# At about 140 MB/s a 300 MiB job ends barely two seconds after it starts, too close to the
# stop question; this one runs long past it.
SIZE = 1 << 30
PHRASE = "violet canyon ledger 42"
STOP_BOUND = 1.0  # seconds from Yes to the program's end


def check(condition, message):
    if not condition:
        raise Failure(message)


def answer_yes(window):
    """Y at the stop question, as a message box takes it; the program's status and the
    seconds from the key to its end."""
    try:
        return window.answer_and_time_exit("y", timeout=2 * STOP_BOUND)
    except Failure:
        # Whether the question takes Yes at all tells a missing key from a slow stop.
        status, elapsed = window.answer_and_time_exit("alt+y")
        raise Failure(f"the stop question did not take y as Yes within {2 * STOP_BOUND:g} s; Alt+Y then "
                      f"ended lockwell in {elapsed:.3f} s with status {status}") from None


def run(lockwell):
    with XSession(lockwell) as session:
        try:
            source = os.path.join(session.data_dir, "archive 2024.tar")
            digest = write_data_file(source, SIZE)
            window = Window(session, source)

            _, _, asked_again = window.start_encrypt(PHRASE)
            print("phrase asked again: " + ("yes" if asked_again else "no"))
            first = window.panel()
            time.sleep(1.0)
            second = window.panel()
            check(first != second, "the status line did not change in one second of a running job")
            check(window.process.poll() is None, "the job ended before it could be stopped")
            check(not window.new_windows(), "a window showed during the job: " +
                  ", ".join(repr(session.title(w)) for w in window.new_windows()))

            question = window.ask_stop()
            print(f"stop question: {session.title(question)!r}")
            status, elapsed = answer_yes(window)
            print(f"from Y to the program's end: {elapsed:.3f} s")
            check(status == 0, f"lockwell ended with status {status} after Yes")
            check(elapsed <= STOP_BOUND,
                  f"lockwell took {elapsed:.3f} s to end after Yes (at most {STOP_BOUND:g} s)")

            check(session.folder() == [os.path.basename(source)],
                  "the folder holds " + ", ".join(session.folder()) + " instead of the source alone")
            check(file_sha256(source) == digest, "the source changed")
        except Failure as failure:
            raise Failure(f"{failure}\n{session.diagnostics()}") from None


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    missing = missing_tools()
    if missing:
        print("skipped: needs " + ", ".join(missing) + " (sh scripts/deps.sh installs them)")
        return 77
    try:
        run(sys.argv[1])
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
