#!/usr/bin/env python3
"""The wipe's question in the real window, by both of its ways: "Securely delete selected
file" and an encryption with "Delete source file". Alt+F, the File-menu habit, reaches
neither; Enter at the question answers Cancel, and the file stays whole.

usage: wipe_under_x.py PATH/TO/lockwell
Exit status 0 passed, 1 failed, 77 skipped (a tool is missing: scripts/deps.sh installs it).
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from lockwell_window import QUIET_SPOT, Window  # noqa: E402
from xsession import Failure, XSession, file_sha256, missing_tools, write_data_file  # noqa: E402

# Window-relative centres of the controls a mouse user would click.
BUTTON2 = (256, 286)
SHREDBOX = (27, 257)
EDIT1 = (124, 37)
SIZE = 32 << 20  # long enough for the status line to show the job


def check(condition, message):
    if not condition:
        raise Failure(message)


def click(window, spot):
    window.session.click(window.x + spot[0], window.y + spot[1])
    window.session.move_pointer(window.x + QUIET_SPOT[0], window.y + QUIET_SPOT[1])


def box(window, title, what):
    found = window.wait_new_window(what)
    check(window.session.title(found) == title, f"{what}: a box titled {window.session.title(found)!r}")
    return found


def enter(window, shown, what):
    """Enter in the box shown; waits until it has gone."""
    window.session.key("Return")
    window.wait_gone(shown, what)


def delete_selected(session, source):
    window = Window(session, source)
    session.key("alt+f")
    time.sleep(1.0)
    check(not window.new_windows(), "Alt+F opened a box: " +
          ", ".join(repr(session.title(w)) for w in window.new_windows()))
    click(window, BUTTON2)
    question = box(window, "Warning", "the wipe's question after Securely delete selected file")
    enter(window, question, "the wipe's question to close after Enter")
    box(window, "Warning", '"File NOT deleted" after Enter at the question')
    status, _ = window.answer_and_time_exit("Return")
    check(status == 0, f"lockwell ended with status {status}")


def delete_source(session, source):
    window = Window(session, source)
    click(window, SHREDBOX)
    click(window, EDIT1)
    window.start_encrypt("violet canyon ledger 42")
    question = box(window, "Warning", "the wipe's question after the encryption")
    enter(window, question, "the wipe's question to close after Enter")
    box(window, "Information", '"File encrypted" after the job')
    status, _ = window.answer_and_time_exit("Return")
    check(status == 0, f"lockwell ended with status {status}")


def run(lockwell):
    with XSession(lockwell) as session:
        try:
            source = os.path.join(session.data_dir, "notes.txt")
            digest = write_data_file(source, SIZE)
            delete_selected(session, source)
            check(session.folder() == ["notes.txt"], "after Delete selected file: " + ", ".join(session.folder()))
            check(file_sha256(source) == digest, "Delete selected file changed the file")
            delete_source(session, source)
            check(session.folder() == ["notes.txt", "notes.txt.fe2"],
                  "after the encryption: " + ", ".join(session.folder()))
            check(file_sha256(source) == digest, "the encryption's wipe changed the source")
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
