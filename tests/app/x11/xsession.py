"""Drives the real window program on a private X server (Xvfb): start-up, keys through
xdotool, screenshots through xwd, and PNG output, with the standard library alone."""

import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TOOLS = ("Xvfb", "xdotool", "xwd")
POLL_TIMEOUT = 20.0  # seconds for anything the window should do promptly
POLL_STEP = 0.02


class Failure(Exception):
    """A check on the window failed; the message says which."""


def missing_tools():
    return [t for t in TOOLS if shutil.which(t) is None]


def check(condition, message):
    if not condition:
        raise Failure(message)


def harness_main(doc, argv, missing, run):
    """The harnesses' command line: usage 2, skipped 77 when a tool is missing, failed 1."""
    if len(argv) != run.__code__.co_argcount + 1:
        print(doc, file=sys.stderr)
        return 2
    if missing:
        print("skipped: needs " + ", ".join(missing) + " (sh scripts/deps.sh installs them)")
        return 77
    try:
        run(*argv[1:])
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print("passed")
    return 0


def checked_in(session, step):
    """Runs step(session); a failed check carries the session's diagnostics."""
    try:
        step(session)
    except Failure as failure:
        raise Failure(f"{failure}\n{session.diagnostics()}") from None


def program_lines(process, stderr_path):
    """The window program's state and its messages, for diagnostics."""
    if not process:
        return []
    status = process.poll()
    lines = ["lockwell " + ("still running" if status is None else f"exited with status {status}")]
    with open(stderr_path, encoding="utf-8", errors="replace") as f:
        return lines + ["lockwell stderr: " + line.rstrip() for line in f]


def poll(probe, what, timeout=POLL_TIMEOUT):
    """Calls probe until it returns something truthy; fails after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(POLL_STEP)


def write_data_file(path, size, seed=20261208):
    """Writes size bytes of fixed pseudo-random data (one MiB block, each copy stamped with
    its index so no two MiB are alike) and returns their SHA-256."""
    block = bytearray(random.Random(seed).randbytes(1 << 20))
    digest = hashlib.sha256()
    with open(path, "wb") as out:
        written, index = 0, 0
        while written < size:
            block[0:8] = index.to_bytes(8, "little")
            piece = block[: min(len(block), size - written)]
            out.write(piece)
            digest.update(piece)
            written += len(piece)
            index += 1
    return digest.hexdigest()


def file_sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while chunk := f.read(1 << 22):
            digest.update(chunk)
    return digest.hexdigest()


class Image:
    """Packed 8-bit RGB rows."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, bytes(rgb)

    def crop(self, x, y, w, h):
        if x < 0 or y < 0 or x + w > self.width or y + h > self.height:
            raise Failure(f"region {x},{y} {w}x{h} lies outside the {self.width}x{self.height} screen")
        rows = (self.rgb[((y + r) * self.width + x) * 3:((y + r) * self.width + x + w) * 3] for r in range(h))
        return Image(w, h, b"".join(rows))

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])


def _mask_shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift, mask


def parse_xwd(data):
    """Reads an xwd dump of a TrueColor screen (ZPixmap, 24 or 32 bits a pixel)."""
    header = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, _depth, width, height = header[:6]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    red_mask, green_mask, blue_mask = header[14:17]
    ncolors = header[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise Failure(f"unexpected xwd dump: version {version}, format {pixmap_format}, {bits_per_pixel} bpp")
    start = header_size + ncolors * 12
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [_mask_shift(m) for m in (red_mask, green_mask, blue_mask)]
    # The common layout (masks ff0000/ff00/ff, least significant byte first) converts by slicing.
    fast = order == "little" and (red_mask, green_mask, blue_mask) == (0xFF0000, 0xFF00, 0xFF)
    rgb = bytearray(width * height * 3)
    for y in range(height):
        row = data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
        if len(row) < width * step:
            raise Failure("xwd dump ends early")
        out = y * width * 3
        if fast:
            rgb[out:out + width * 3:3] = row[2::step]
            rgb[out + 1:out + width * 3:3] = row[1::step]
            rgb[out + 2:out + width * 3:3] = row[0::step]
            continue
        for x in range(width):
            value = int.from_bytes(row[x * step:(x + 1) * step], order)
            for c, (shift, mask) in enumerate(shifts):
                rgb[out + x * 3 + c] = ((value >> shift) & mask) * 255 // mask
    return Image(width, height, rgb)


def write_png(path, image):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    stride = image.width * 3
    raw = b"".join(b"\0" + image.rgb[y * stride:(y + 1) * stride] for y in range(image.height))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


class XSession:
    """A private Xvfb, a temporary home, and the window program copied into it, so that its
    settings and folder list (kept beside the executable) start empty and stay there."""

    def __init__(self, lockwell, work_dir=None, settings=None, data_dir=None):
        self.temp = tempfile.TemporaryDirectory(prefix="lockwell-x11-", dir=work_dir)
        self.root = self.temp.name
        home = os.path.join(self.root, "home")
        bin_dir = os.path.join(self.root, "bin")
        self.data_dir = data_dir or os.path.join(self.root, "data")
        for d in (home, bin_dir):
            os.mkdir(d)
        os.makedirs(self.data_dir, exist_ok=True)
        self.program = os.path.join(bin_dir, "lockwell")
        shutil.copy2(lockwell, self.program)
        if settings:
            with open(os.path.join(bin_dir, "lockwell.ini"), "w", encoding="ascii") as f:
                f.write(settings)
        self.server = None
        self.window = None
        self.screen_windows = set()
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
                    "XDG_CONFIG_HOME": os.path.join(home, ".config"),
                    "XDG_RUNTIME_DIR": self._runtime_dir(), "LANG": "C.UTF-8",
                    "QT_QPA_PLATFORM": "xcb"}

    def _runtime_dir(self):
        path = os.path.join(self.root, "runtime")
        os.mkdir(path, 0o700)
        return path

    def __enter__(self):
        read_end, write_end = os.pipe()
        # -noreset: by default the server resets when its last client leaves, and refuses
        # connections meanwhile; each xdotool call is such a client.
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset", "-screen", "0", "1024x768x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as r:
            while not number.endswith(b"\n"):
                piece = r.read(1)
                if not piece:
                    break
                number += piece
        if not number.strip():
            self.__exit__(None, None, None)
            raise Failure("Xvfb did not report a display")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.screen_windows = set(self.visible_windows())  # the root window
        return self

    def __exit__(self, *exc):
        if self.window and self.window.poll() is None:
            self.window.kill()
            self.window.wait()
        if self.server and self.server.poll() is None:
            self.server.terminate()
            try:
                self.server.wait(10)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait()
        self.temp.cleanup()
        return False

    def run(self, *args, check=True):
        done = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(args)} failed: {done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode(errors="replace")

    def start_window(self, source):
        self.stderr_path = os.path.join(self.root, "lockwell.err")
        with open(self.stderr_path, "wb") as err:
            self.window = subprocess.Popen([self.program, source], env=self.env, cwd=self.root,
                                           stdout=subprocess.DEVNULL, stderr=err)
        return self.window

    def diagnostics(self):
        """What to print when a check fails: the program's state, its messages, the windows."""
        lines = program_lines(self.window, self.stderr_path)
        if self.server and self.server.poll() is None:
            lines += [f"window {w}: {self.title(w)!r} at {self.geometry(w)}" for w in self.visible_windows()]
        lines.append("folder: " + ", ".join(self.folder()))
        return "\n".join(lines)

    def visible_windows(self):
        """Mapped top-level windows, by id, the screen's own left out."""
        out = self.run("xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--name", "", check=False)
        return [int(w) for w in out.split() if int(w) not in self.screen_windows]

    def window_named(self, title):
        out = self.run("xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--name", title, check=False)
        ids = [int(w) for w in out.split()]
        return ids[0] if ids else None

    def title(self, window):
        return self.run("xdotool", "getwindowname", str(window), check=False).strip()

    def geometry(self, window):
        """x, y, width, height of a window on the screen."""
        values = {}
        for line in self.run("xdotool", "getwindowgeometry", "--shell", str(window)).split():
            key, _, value = line.partition("=")
            values[key] = int(value)
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def focus(self, window):
        # No window manager runs here: giving a new top-level window the keyboard is ours to do.
        self.run("xdotool", "windowfocus", "--sync", str(window))

    def key(self, *keys):
        self.run("xdotool", "key", "--clearmodifiers", *keys)

    def type(self, text):
        self.run("xdotool", "type", "--delay", "5", text)

    def move_pointer(self, x, y):
        self.run("xdotool", "mousemove", "--sync", str(x), str(y))

    def click(self, x, y):
        self.run("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")

    def screenshot(self):
        dump = subprocess.run(["xwd", "-root", "-silent"], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=30, check=True).stdout
        return parse_xwd(dump)

    def folder(self):
        return sorted(os.listdir(self.data_dir))
