#!/usr/bin/env python3
"""Measures the window program on a real X server (not a test; run by hand):
(a) the time from Yes at the stop question to the program's end, and
(b) the window's job time for a full encryption (the Enter that starts the job, on the
    phrase's second typing when it is asked, to the "File encrypted" box) against
    lockwell-cli on the same file with the same cipher.

usage: measure_window.py LOCKWELL LOCKWELL_CLI [--mib N] [--cipher 0-3] [--repeat N] [--into-job S]
The file (default 2048 MiB) and each output go to TMPDIR, which needs room for both.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))

from lockwell_window import Window  # noqa: E402
from display import XSession, check, file_sha256, harness_main, write_data_file  # noqa: E402

PHRASE = "violet canyon ledger 42"
CIPHERS = ("RC4", "Blowfish", "Serpent", "Rijndael")
WINDOW_DEFAULT_CIPHER = 1  # the window's choice when it has no settings


def window_encrypt(session, source, size, timeout):
    """Seconds from the Enter that starts the job to the "File encrypted" box."""
    window = Window(session, source)
    _, started, _ = window.start_encrypt(PHRASE)
    box = window.wait_new_window('the "File encrypted" box', timeout)
    seconds = window.appeared_at - started
    print(f"  window: {seconds:.2f} s, {size / seconds / 1e6:.1f} MB/s (box {session.title(box)!r})")
    status, _ = window.answer_and_time_exit("Return")
    check(status == 0, f"lockwell ended with status {status} after the box")
    return seconds


def cli_encrypt(cli, session, source, cipher, size):
    phrase_file = os.path.join(session.root, "phrase")
    with open(phrase_file, "w", encoding="utf-8") as f:
        f.write(PHRASE + "\n")
    command = [cli, "encrypt", "--cipher", str(cipher), "--phrase-file", phrase_file, "--quiet", source]
    started = time.monotonic()
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    seconds = time.monotonic() - started
    check(done.returncode == 0, f"{' '.join(command)} failed: {done.stdout.decode(errors='replace')}")
    print(f"  cli:    {seconds:.2f} s, {size / seconds / 1e6:.1f} MB/s")
    return seconds


def take_output(session, source):
    """The hash of the job's output, which is then removed."""
    outputs = [n for n in session.folder() if n != os.path.basename(source)]
    check(len(outputs) == 1, "expected one output beside the source, found: " + ", ".join(outputs))
    path = os.path.join(session.data_dir, outputs[0])
    digest = file_sha256(path)
    os.remove(path)
    return digest


def window_stop(session, source, into_job):
    window = Window(session, source)
    window.start_encrypt(PHRASE)
    time.sleep(into_job)
    window.ask_stop()
    status, seconds = window.answer_and_time_exit("alt+y")
    left = session.folder()
    print(f"  stop:   {seconds:.3f} s from Y to the end, status {status}, folder: {', '.join(left)}")
    check(status == 0 and left == [os.path.basename(source)], "the stopped job did not end cleanly")
    return seconds


def measure(args):
    size = args.mib << 20
    work = tempfile.gettempdir()
    need = 2 * size + (256 << 20)
    free = shutil.disk_usage(work).free
    print(f"needs {need / (1 << 30):.1f} GiB free in {work} (TMPDIR); {free / (1 << 30):.1f} GiB free")
    check(free >= need, "not enough room")
    cipher = WINDOW_DEFAULT_CIPHER if args.cipher is None else args.cipher
    settings = None if args.cipher is None else f"[Options]\r\nCipher={cipher}\r\n"
    with XSession(args.lockwell, work_dir=work, settings=settings) as session:
        source = os.path.join(session.data_dir, "measure.bin")
        write_data_file(source, size)
        print(f"{args.mib} MiB, cipher {CIPHERS[cipher]}, {os.cpu_count()} cores")
        # The whole job at no more than about 30 MB/s, plus room for a loaded machine.
        timeout = 60 + size / 30e6
        window_times, cli_times, stop_times = [], [], []
        for round_ in range(1, args.repeat + 1):
            print(f"round {round_}:")
            window_times.append(window_encrypt(session, source, size, timeout))
            window_digest = take_output(session, source)
            cli_times.append(cli_encrypt(args.cli, session, source, cipher, size))
            same = take_output(session, source) == window_digest
            print(f"  outputs of window and cli {'identical' if same else 'DIFFER'}")
            stop_times.append(window_stop(session, source, args.into_job))
        best_window, best_cli = min(window_times), min(cli_times)
        print(f"best: window {best_window:.2f} s ({size / best_window / 1e6:.1f} MB/s), "
              f"cli {best_cli:.2f} s ({size / best_cli / 1e6:.1f} MB/s), "
              f"window/cli time {best_window / best_cli:.2f}; "
              f"stop {min(stop_times):.3f} to {max(stop_times):.3f} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("lockwell")
    parser.add_argument("cli")
    parser.add_argument("--mib", type=int, default=2048, help="file size in MiB (2048)")
    parser.add_argument("--cipher", type=int, choices=range(4), help="0-3 (the window's default, Blowfish)")
    parser.add_argument("--repeat", type=int, default=1, help="rounds (1)")
    parser.add_argument("--into-job", type=float, default=2.0, help="seconds into the job before Escape (2)")
    args = parser.parse_args()
    return harness_main(__doc__, [], XSession.missing_tools(), lambda: measure(args), skip=1, done=None)


if __name__ == "__main__":
    sys.exit(main())
