#!/usr/bin/env python3
"""The window program as a native Wayland client, under a headless sway: an encryption typed
at the keyboard round-trips through lockwell-cli, and "Copy file to clipboard" leaves the
output on the Wayland clipboard for another program to paste.

usage: window_under_wayland.py PATH/TO/lockwell PATH/TO/lockwell-cli
Exit status 0 passed, 1 failed, 77 skipped (a tool is missing: scripts/deps.sh installs it).
"""

import os
import subprocess
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))

from display import (Failure, WaylandSession, check, file_sha256, harness_main, poll,  # noqa: E402
                     write_data_file)

SIZE = 1 << 20
PHRASE = "harbour lantern 1987 quiet"


def wait_exit(session, what):
    try:
        return session.window.wait(20)
    except subprocess.TimeoutExpired:
        raise Failure(f"lockwell still runs 20 s after {what}") from None


def new_file(session, name, seed):
    path = os.path.join(session.data_dir, name)
    digest = write_data_file(path, SIZE, seed)
    session.hand_over(path)
    return path, digest


def open_window(session, source):
    session.start_window(source)
    poll(lambda: session.windows_of_lockwell() == [("Lockwell", True)], "the Lockwell window to show with the focus")


def encrypt_and_answer(session, output):
    """Types the phrase and Enter, waits for the whole output and the box that reports it,
    then answers the box with Enter."""
    session.type(PHRASE)
    session.key("Return")
    poll(lambda: os.path.exists(output) and os.path.getsize(output) == SIZE, f"{output} to be written whole")
    poll(lambda: any(focused and title != "Lockwell" for title, focused in session.windows_of_lockwell()),
         "the box that reports the encryption to take the focus")
    session.key("Return")


def check_round_trip(session, cli, encrypted, digest):
    """lockwell-cli gives the source back from what the window wrote."""
    out_dir = os.path.join(session.root, "decrypted")
    os.mkdir(out_dir)
    phrase_file = os.path.join(session.root, "phrase")
    with open(phrase_file, "w", encoding="utf-8") as f:
        f.write(PHRASE + "\n")
    # The source is random bytes, which look like noise: kept all the same.
    done = subprocess.run([cli, "decrypt", "--keep-doubtful", "--cipher", "blowfish", "--quiet",
                           "--phrase-file", phrase_file, "--dest", out_dir, encrypted],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    check(done.returncode == 0, f"lockwell-cli decrypt failed: {done.stderr.decode(errors='replace').strip()}")
    decrypted = os.path.join(out_dir, os.path.basename(encrypted)[:-len(".fe2")])
    check(file_sha256(decrypted) == digest, "the decrypted file differs from the source")


def encrypt_round_trip(session, cli):
    source, digest = new_file(session, "notes 2026.txt", 20261208)
    output = source + ".fe2"
    open_window(session, source)
    encrypt_and_answer(session, output)
    status = wait_exit(session, "the box was answered")
    check(status == 0, f"lockwell ended with status {status} after the box was answered")
    check(file_sha256(output) != digest, "the output is the source unchanged")
    check_round_trip(session, cli, output, digest)
    print("encrypted in the window, decrypted by lockwell-cli")


def clipboard_hand_off(session):
    source, _ = new_file(session, "clip me.bin", 20261209)
    output = source + ".fe2"
    open_window(session, source)
    # Alt+P ticks "Co&py file to clipboard" and takes the focus there; Alt+K gives it back
    # to the key field ("Enter your &key phrase").
    session.key("p", modifier="alt")
    session.key("k", modifier="alt")
    encrypt_and_answer(session, output)
    poll(lambda: not session.windows_of_lockwell(), "the window to close after the box")
    # The program stays to serve the clipboard it holds.
    pasted = session.run("wl-paste", "-n", "-t", "text/uri-list")
    expected = "file://" + urllib.parse.quote(output, safe="/") + "\r\n"
    check(pasted == expected, f"wl-paste -t text/uri-list gave {pasted!r}, not {expected!r}")
    session.window.terminate()
    status = wait_exit(session, "SIGTERM")
    check(status == 0, f"lockwell serving the clipboard ended with status {status} on SIGTERM")
    print("the output was pasted from the clipboard: " + pasted.strip())


def run(lockwell, cli):
    for step in (lambda s: encrypt_round_trip(s, cli), clipboard_hand_off):
        with WaylandSession(lockwell) as session:
            step(session)


if __name__ == "__main__":
    sys.exit(harness_main(__doc__, sys.argv[1:], WaylandSession.missing_tools(), run))
