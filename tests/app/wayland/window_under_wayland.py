#!/usr/bin/env python3
"""The window program as a native Wayland client, under a headless sway: an encryption typed
at the keyboard round-trips through lockwell-cli, and "Copy file to clipboard" leaves the
output on the Wayland clipboard for another program to paste.

usage: window_under_wayland.py PATH/TO/lockwell PATH/TO/lockwell-cli
Exit status 0 passed, 1 failed, 77 skipped (a tool is missing: scripts/deps.sh installs it).
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "x11"))

from xsession import (Failure, check, checked_in, file_sha256, harness_main, poll,  # noqa: E402
                      program_lines, write_data_file)

TOOLS = {"sway": "sway", "swaymsg": "sway", "wtype": "wtype", "wl-paste": "wl-clipboard"}
# sway refuses to run as root: run by root, the whole session runs as this user instead.
USER_ID = 65534 if os.geteuid() == 0 else None
SIZE = 1 << 20
PHRASE = "harbour lantern 1987 quiet"
SWAY_CONFIG = "xwayland disable\n"


def missing_tools():
    return sorted({package for tool, package in TOOLS.items() if shutil.which(tool) is None})


def as_user():
    return {"user": USER_ID, "group": USER_ID, "extra_groups": []} if USER_ID is not None else {}


def hand_over(path):
    if USER_ID is not None:
        os.chown(path, USER_ID, USER_ID)


class WaylandSession:
    """A private headless sway run by an unprivileged user, its runtime folder fresh, and the
    window program copied beside a settings file of its own (settings live beside the
    executable)."""

    def __init__(self, lockwell):
        self.root = tempfile.mkdtemp(prefix="lockwell-wayland-")
        self.runtime = os.path.join(self.root, "runtime")
        home = os.path.join(self.root, "home")
        bin_dir = os.path.join(self.root, "bin")
        self.data_dir = os.path.join(self.root, "data")
        for d in (self.runtime, home, bin_dir, self.data_dir):
            os.mkdir(d)
        os.chmod(self.runtime, 0o700)
        os.chmod(self.root, 0o755)
        self.program = os.path.join(bin_dir, "lockwell")
        shutil.copy2(lockwell, self.program)
        self.config = os.path.join(self.root, "sway.config")
        with open(self.config, "w", encoding="ascii") as f:
            f.write(SWAY_CONFIG)
        for base, dirs, files in os.walk(self.root):
            for name in [base] + [os.path.join(base, n) for n in dirs + files]:
                hand_over(name)
        self.sway_log = os.path.join(self.root, "sway.log")
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
                    "XDG_CONFIG_HOME": os.path.join(home, ".config"), "XDG_RUNTIME_DIR": self.runtime,
                    "LANG": "C.UTF-8", "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                    "WLR_RENDERER": "pixman"}
        self.sway = None
        self.keyboard = None
        self.window = None
        self.stderr_path = os.path.join(self.root, "lockwell.err")

    def __enter__(self):
        with open(self.sway_log, "wb") as log:
            self.sway = subprocess.Popen(["sway", "-c", self.config], env=self.env, stdout=log, stderr=log,
                                         start_new_session=True, **as_user())
        try:
            display = poll(lambda: self._ended_sway() or self._runtime_entry("wayland-", ""), "sway's socket")
            ipc = poll(lambda: self._ended_sway() or self._runtime_entry("sway-ipc.", ".sock"), "sway's IPC socket")
        except Failure:
            self.__exit__(None, None, None)
            raise
        self.env["WAYLAND_DISPLAY"] = display
        self.env["SWAYSOCK"] = os.path.join(self.runtime, ipc)
        # Without input devices the seat has no keyboard until wtype makes one, and a client
        # binds it only after being told: keys typed at once would be lost. This one stays
        # (its one key comes after the test's time limit), so the window binds a keyboard
        # before anything is typed.
        self.keyboard = subprocess.Popen(["wtype", "-s", "3600000", "-k", "Shift_L"], env=self.env,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **as_user())
        try:
            poll(lambda: self._ended_sway() or self._has_keyboard(), "the seat to have a keyboard")
        except Failure:
            self.__exit__(None, None, None)
            raise
        return self

    def _has_keyboard(self):
        if self.keyboard.poll() is not None:
            raise Failure(f"wtype holding a keyboard ended with status {self.keyboard.returncode}")
        return any(i.get("type") == "keyboard" for i in json.loads(self.run("swaymsg", "-r", "-t", "get_inputs")))

    def __exit__(self, *exc):
        for process in (self.window, self.keyboard, self.sway):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.root, ignore_errors=True)
        return False

    def _ended_sway(self):
        if self.sway.poll() is not None:
            raise Failure(f"sway ended with status {self.sway.returncode}")
        return None

    def _runtime_entry(self, prefix, suffix):
        names = [n for n in os.listdir(self.runtime) if n.startswith(prefix) and n.endswith(suffix)
                 and not n.endswith(".lock")]
        return names[0] if names else None

    def run(self, *args, check_status=True):
        done = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30,
                              **as_user())
        if check_status and done.returncode != 0:
            raise Failure(f"{' '.join(args)} failed: {done.stderr.decode(errors='replace').strip()}")
        return done.stdout

    def start_window(self, source):
        env = dict(self.env, QT_QPA_PLATFORM="wayland")
        for key in ("WLR_BACKENDS", "WLR_LIBINPUT_NO_DEVICES", "WLR_RENDERER", "SWAYSOCK"):
            env.pop(key)
        with open(self.stderr_path, "wb") as err:
            self.window = subprocess.Popen([self.program, source], env=env, cwd=self.root,
                                           stdout=subprocess.DEVNULL, stderr=err, **as_user())
        return self.window

    def windows(self):
        """The compositor's windows: (title, process id, focused)."""
        tree = json.loads(self.run("swaymsg", "-r", "-t", "get_tree"))
        found, nodes = [], [tree]
        while nodes:
            node = nodes.pop()
            if node.get("pid"):
                found.append((node.get("name"), node["pid"], bool(node.get("focused"))))
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return found

    def windows_of_lockwell(self):
        if self.window.poll() is not None:
            raise Failure(f"lockwell ended with status {self.window.returncode}")
        return [(title, focused) for title, pid, focused in self.windows() if pid == self.window.pid]

    def type(self, text):
        self.run("wtype", "-d", "5", text)

    def key(self, name, modifier=None):
        self.run(*(["wtype", "-M", modifier, "-k", name, "-m", modifier] if modifier else ["wtype", "-k", name]))

    def diagnostics(self):
        lines = program_lines(self.window, self.stderr_path)
        if self.sway and self.sway.poll() is None:
            lines += [f"window {title!r} of process {pid}{' (focused)' if focused else ''}"
                      for title, pid, focused in self.windows()]
        with open(self.sway_log, encoding="utf-8", errors="replace") as f:
            lines += ["sway: " + line.rstrip() for line in f.readlines()[-15:]]
        lines.append("folder: " + ", ".join(sorted(os.listdir(self.data_dir))))
        return "\n".join(lines)


def wait_exit(session, what):
    try:
        return session.window.wait(20)
    except subprocess.TimeoutExpired:
        raise Failure(f"lockwell still runs 20 s after {what}") from None


def new_file(session, name, seed):
    path = os.path.join(session.data_dir, name)
    digest = write_data_file(path, SIZE, seed)
    hand_over(path)
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
    pasted = session.run("wl-paste", "-n", "-t", "text/uri-list").decode(errors="replace")
    expected = "file://" + urllib.parse.quote(output, safe="/") + "\r\n"
    check(pasted == expected, f"wl-paste -t text/uri-list gave {pasted!r}, not {expected!r}")
    session.window.terminate()
    status = wait_exit(session, "SIGTERM")
    check(status == 0, f"lockwell serving the clipboard ended with status {status} on SIGTERM")
    print("the output was pasted from the clipboard: " + pasted.strip())


def run(lockwell, cli):
    for step in (lambda s: encrypt_round_trip(s, cli), clipboard_hand_off):
        with WaylandSession(lockwell) as session:
            checked_in(session, step)


def main():
    return harness_main(__doc__, sys.argv, missing_tools(), run)


if __name__ == "__main__":
    sys.exit(main())
