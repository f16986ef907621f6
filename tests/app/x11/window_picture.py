#!/usr/bin/env python3
"""Renders the window in the middle of an encryption, from a real X server, as a PNG
(docs/window-progress.png); the job is stopped afterwards.

usage: window_picture.py PATH/TO/lockwell OUT.png
"""

import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))

from lockwell_window import Window  # noqa: E402
from display import XSession, check, harness_main, write_data_file, write_png  # noqa: E402

SIZE = 1 << 30
# A fixed place, so the paths the window shows stay the same from one rendering to the next.
PLACE = "/tmp/lockwell-picture"
FOLDER = os.path.join(PLACE, "Videos")
PHRASE = "violet canyon ledger 42"
INTO_JOB = 2.0  # seconds: long enough for the speed and time left to settle


def render(lockwell, out):
    check(not os.path.lexists(PLACE), f"{PLACE} is in the way: remove it first")
    try:
        with XSession(lockwell, data_dir=FOLDER) as session:
            source = os.path.join(FOLDER, "holiday 2024.mkv")
            write_data_file(source, SIZE)
            window = Window(session, source)
            window.start_encrypt(PHRASE)
            time.sleep(INTO_JOB)
            picture = window.picture()
            check(window.process.poll() is None, "the job ended before the picture was taken")
            write_png(out, picture)
            window.ask_stop()
            status, _ = window.answer_and_time_exit("alt+y")
            check(status == 0, f"lockwell ended with status {status} after Yes")
    finally:
        shutil.rmtree(PLACE, ignore_errors=True)
    print(f"wrote {out}")


if __name__ == "__main__":
    sys.exit(harness_main(__doc__, sys.argv[1:], XSession.missing_tools(), render, skip=1, done=None))
