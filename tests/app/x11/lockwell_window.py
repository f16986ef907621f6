"""The steps a user takes in the Lockwell window, by keyboard, on an XSession."""

import os
import select
import time

from display import POLL_TIMEOUT, Failure, poll

WIDTH, HEIGHT = 325, 383
PANEL1 = (0, 365, 325, 18)  # the status line, window-relative
# Blank window background: no control and no hint under the pointer, so the status line
# shows no hint text that could be mistaken for progress.
QUIET_SPOT = (250, 318)
PROMPT_TITLE = "Confirm"  # the prompt for the phrase's second typing


class Window:
    def __init__(self, session, source):
        self.session = session
        self.others = set(session.visible_windows())
        self.process = session.start_window(source)
        what = "the Lockwell window"
        self.id = poll(lambda: self._ended(what) or session.window_named("^Lockwell$"), what)
        x, y, w, h = session.geometry(self.id)
        if (w, h) != (WIDTH, HEIGHT):
            raise Failure(f"the window is {w}x{h}, not {WIDTH}x{HEIGHT}")
        self.x, self.y = x, y
        self.others.add(self.id)
        session.move_pointer(x + QUIET_SPOT[0], y + QUIET_SPOT[1])
        session.focus(self.id)

    def _ended(self, what):
        if self.process.poll() is not None:
            raise Failure(f"lockwell ended with status {self.process.returncode} while waiting for {what}")
        return None

    def region(self, shot, rect):
        return shot.crop(self.x + rect[0], self.y + rect[1], rect[2], rect[3])

    def panel(self):
        return self.region(self.session.screenshot(), PANEL1).rgb

    def picture(self):
        return self.region(self.session.screenshot(), (0, 0, WIDTH, HEIGHT))

    def new_windows(self):
        return [w for w in self.session.visible_windows() if w not in self.others]

    def wait_new_window(self, what, timeout=POLL_TIMEOUT):
        """The one new top-level window (a dialog), given the keyboard as a window manager would."""
        found = poll(lambda: self._ended(what) or self.new_windows(), what, timeout)
        self.appeared_at = time.monotonic()
        if len(found) != 1:
            raise Failure(f"{len(found)} new windows instead of one for {what}")
        self.session.focus(found[0])
        return found[0]

    def wait_gone(self, window, what):
        poll(lambda: window not in self.session.visible_windows(), what)

    def start_encrypt(self, phrase):
        """Types the phrase and Enter; when a prompt for the phrase's second typing shows,
        types it there too and Enter. Returns once the job runs: the status line as it was
        before, the monotonic time just before the Enter that started the job, and whether
        the phrase was asked again."""
        idle = self.panel()
        self.session.type(phrase)
        started = time.monotonic()
        self.session.key("Return")
        what = "the job to start or the phrase to be asked again, after Enter in the key field"
        prompt = poll(lambda: self._ended(what) or self._prompt() or self.panel() != idle, what)
        if prompt is True:
            return idle, started, False
        self.session.focus(prompt)
        self.session.type(phrase)
        started = time.monotonic()
        self.session.key("Return")
        self.wait_gone(prompt, "the phrase prompt to close after Enter")
        self.session.focus(self.id)
        self.wait_job_running(idle)
        return idle, started, True

    def _prompt(self):
        titled = [w for w in self.new_windows() if self.session.title(w) == PROMPT_TITLE]
        return titled[0] if titled else None

    def wait_job_running(self, idle_panel):
        what = "the status line to show the job's progress"
        poll(lambda: self._ended(what) or self.panel() != idle_panel, what)

    def ask_stop(self):
        """Escape in the window; returns the question's window."""
        self.session.focus(self.id)
        self.session.key("Escape")
        return self.wait_new_window("the question to stop the running job (after Escape)")

    def answer_and_time_exit(self, key, timeout=20.0):
        """Presses key; returns the program's status and the seconds from just before the key
        to its end."""
        # A descriptor that becomes readable the moment the process ends, unlike a sleep loop.
        ended = os.pidfd_open(self.process.pid)
        try:
            pressed = time.monotonic()
            self.session.key(key)
            readable, _, _ = select.select([ended], [], [], timeout)
            elapsed = time.monotonic() - pressed
        finally:
            os.close(ended)
        if not readable:
            raise Failure(f"lockwell still runs {timeout:g} s after {key}")
        return self.process.wait(), elapsed
