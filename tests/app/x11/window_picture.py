#!/usr/bin/env python3
"""Renders the window in the middle of an encryption, from a real X server, as a PNG
(docs/window-progress.png); the job is stopped afterwards.

usage: window_picture.py PATH/TO/lockwell OUT.png
"""

import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from lockwell_window import Window  # noqa: E402
from xsession import Failure, XSession, missing_tools, write_data_file, write_png  # noqa: E402

SIZE = 1 << 30
# A fixed place, so the paths the window shows stay the same from one rendering to the next.
PLACE = "/tmp/lockwell-picture"
FOLDER = os.path.join(PLACE, "Videos")
PHRASE = "violet canyon ledger 42"
INTO_JOB = 2.0  # seconds: long enough for the speed and time left to settle


def render(lockwell, out):
    with XSession(lockwell, data_dir=FOLDER) as session:
        try:
            source = os.path.join(FOLDER, "holiday 2024.mkv")
            write_data_file(source, SIZE)
            window = Window(session, source)
            window.start_encrypt(PHRASE)
            time.sleep(INTO_JOB)
            picture = window.picture()
            if window.process.poll() is not None:
                raise Failure("the job ended before the picture was taken")
            write_png(out, picture)
            window.ask_stop()
            status, _ = window.answer_and_time_exit("alt+y")
            if status != 0:
                raise Failure(f"lockwell ended with status {status} after Yes")
        except Failure as failure:
            raise Failure(f"{failure}\n{session.diagnostics()}") from None


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    missing = missing_tools()
    if missing:
        print("needs " + ", ".join(missing) + " (sh scripts/deps.sh installs them)", file=sys.stderr)
        return 1
    if os.path.lexists(PLACE):
        print(f"{PLACE} is in the way: remove it first", file=sys.stderr)
        return 1
    try:
        render(sys.argv[1], sys.argv[2])
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(PLACE, ignore_errors=True)
    print(f"wrote {sys.argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
