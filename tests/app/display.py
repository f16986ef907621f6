"""A private display server for the window program, X (Xvfb, driven by xdotool, seen by
xwd) or Wayland (a headless sway, driven by wtype), and what the harnesses share: checks,
polling, data files, PNG output, with the standard library alone."""

import hashlib
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

POLL_TIMEOUT = 20.0  # seconds for anything the window should do promptly
POLL_STEP = 0.02
NOBODY = 65534


class Failure(Exception):
    """A check on the window failed; the message says which."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def harness_main(doc, args, missing, run, skip=77, done="passed"):
    """A harness's command line: usage 2, a tool missing `skip` (77: skipped, to ctest), failed 1."""
    if len(args) != run.__code__.co_argcount:
        print(doc, file=sys.stderr)
        return 2
    if missing:
        print("skipped: needs " + ", ".join(missing) + " (sh scripts/deps.sh installs them)")
        return skip
    try:
        run(*args)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    if done:
        print(done)
    return 0


def file_lines(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip() for line in f]
    except FileNotFoundError:
        return []


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


class Session:
    """A display server of its own, a temporary home, and the window program copied into it, so
    that its settings and folder list (kept beside the executable) start empty and stay there.
    A server that refuses root runs, with all the session's programs, as nobody. A check that
    fails in the session, or while the server starts, carries the session's diagnostics."""

    TOOLS = {}  # command: the package that has it
    refuses_root = False

    def __init__(self, lockwell, work_dir=None, settings=None, data_dir=None):
        self.root = tempfile.mkdtemp(prefix=f"lockwell-{self.name}-", dir=work_dir)
        self.user = NOBODY if self.refuses_root and os.geteuid() == 0 else None
        home = os.path.join(self.root, "home")
        bin_dir = os.path.join(self.root, "bin")
        runtime = os.path.join(self.root, "runtime")
        self.data_dir = data_dir or os.path.join(self.root, "data")
        for d in (home, bin_dir):
            os.mkdir(d)
        os.mkdir(runtime, 0o700)
        os.makedirs(self.data_dir, exist_ok=True)
        self.program = os.path.join(bin_dir, "lockwell")
        shutil.copy2(lockwell, self.program)
        if settings:
            with open(os.path.join(bin_dir, "lockwell.ini"), "w", encoding="ascii") as f:
                f.write(settings)
        if self.user is not None:
            os.chmod(self.root, 0o755)
            for base, dirs, files in os.walk(self.root):
                for name in [base] + [os.path.join(base, n) for n in dirs + files]:
                    self.hand_over(name)
        self.log = os.path.join(self.root, "server.log")
        self.stderr_path = os.path.join(self.root, "lockwell.err")
        self.server = self.window = None
        self.ready = False
        self.helpers = []
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
                    "XDG_CONFIG_HOME": os.path.join(home, ".config"), "XDG_RUNTIME_DIR": runtime,
                    "LANG": "C.UTF-8"}

    @classmethod
    def missing_tools(cls):
        return sorted({package for tool, package in cls.TOOLS.items() if shutil.which(tool) is None})

    def hand_over(self, path):
        if self.user is not None:
            os.chown(path, self.user, self.user)

    def as_user(self):
        return {"user": self.user, "group": self.user, "extra_groups": []} if self.user is not None else {}

    def __enter__(self):
        try:
            command, options = self.server_command()
            with open(self.log, "wb") as log:
                self.server = self.spawn(command, stdout=log, stderr=log, start_new_session=True, **options)
            self.started()
            self.env["QT_QPA_PLATFORM"] = self.platform
            self.ready = True
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def __exit__(self, kind, failure, trace):
        try:
            if isinstance(failure, Failure):
                raise Failure(f"{failure}\n{self.diagnostics()}") from None
        finally:
            for process in [self.window] + self.helpers[::-1] + [self.server]:
                if process and process.poll() is None:
                    process.terminate()
                    try:
                        process.wait(10)
                    except subprocess.TimeoutExpired:
                        process.kill()
                        process.wait()
            shutil.rmtree(self.root, ignore_errors=True)

    def spawn(self, args, **options):
        options = {"env": self.env, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, **options}
        return subprocess.Popen(args, **options, **self.as_user())

    def wait_for(self, probe, what):
        """poll(), failing at once should the server end."""
        def probe_while_served():
            if self.server.poll() is not None:
                raise Failure(f"{self.server.args[0]} ended with status {self.server.returncode}")
            return probe()
        return poll(probe_while_served, what)

    def run(self, *args, check=True):
        done = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30,
                              **self.as_user())
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(args)} failed: {done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode(errors="replace")

    def start_window(self, source):
        with open(self.stderr_path, "wb") as err:
            self.window = self.spawn([self.program, source], cwd=self.root, stderr=err)
        return self.window

    def diagnostics(self):
        """What to print when a check fails: the program's state and messages, the server's
        windows and last messages, the folder."""
        lines = []
        if self.window:
            status = self.window.poll()
            lines.append("lockwell " + ("still running" if status is None else f"exited with status {status}"))
            lines += ["lockwell stderr: " + line for line in file_lines(self.stderr_path)]
        if self.ready and self.server.poll() is None:
            try:
                lines += self.window_lines()
            except (Failure, subprocess.SubprocessError) as error:
                lines.append(f"no list of the windows: {error}")
        lines += [f"{self.name} server: " + line for line in file_lines(self.log)[-15:]]
        lines.append("folder: " + ", ".join(self.folder()))
        return "\n".join(lines)

    def folder(self):
        return sorted(os.listdir(self.data_dir))


class XSession(Session):
    """Xvfb, no window manager."""

    TOOLS = {"Xvfb": "xvfb", "xdotool": "xdotool", "xwd": "x11-apps", "qt6ct": "qt6ct"}
    name, platform = "x11", "xcb"
    screen_windows = frozenset()

    def server_command(self):
        self.display_pipe = os.pipe()
        # -noreset: by default the server resets when its last client leaves, and refuses
        # connections meanwhile; each xdotool call is such a client.
        return (["Xvfb", "-displayfd", str(self.display_pipe[1]), "-nolisten", "tcp", "-noreset",
                 "-screen", "0", "1024x768x24"], {"pass_fds": (self.display_pipe[1],)})

    def started(self):
        read_end, write_end = self.display_pipe
        os.close(write_end)
        with os.fdopen(read_end, "rb") as r:
            number = r.readline().strip()  # empty when Xvfb ends first
        check(number, "Xvfb did not report a display")
        self.env["DISPLAY"] = ":" + number.decode()
        self.screen_windows = set(self.visible_windows())  # the root window

    def window_lines(self):
        return [f"window {w}: {self.title(w)!r} at {self.geometry(w)}" for w in self.visible_windows()]

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
        return parse_xwd(subprocess.run(["xwd", "-root", "-silent"], env=self.env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, timeout=30, check=True).stdout)


class WaylandSession(Session):
    """A headless sway, Xwayland off."""

    TOOLS = {"sway": "sway", "swaymsg": "sway", "wtype": "wtype", "wl-paste": "wl-clipboard"}
    name, platform = "wayland", "wayland"
    refuses_root = True

    def server_command(self):
        config = os.path.join(self.root, "sway.config")
        with open(config, "w", encoding="ascii") as f:
            f.write("xwayland disable\n")
        wlroots = {"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}
        return ["sway", "-c", config], {"env": dict(self.env, **wlroots)}

    def started(self):
        self.env["WAYLAND_DISPLAY"] = self.wait_for(lambda: self._socket("wayland-", ""), "sway's socket")
        ipc = self.wait_for(lambda: self._socket("sway-ipc.", ".sock"), "sway's IPC socket")
        self.ipc = os.path.join(self.env["XDG_RUNTIME_DIR"], ipc)
        # Without input devices the seat has no keyboard until wtype makes one, and a client
        # binds it only after being told: keys typed at once would be lost. This one stays
        # (its one key comes after the test's time limit), so the window binds a keyboard
        # before anything is typed.
        keyboard = self.spawn(["wtype", "-s", "3600000", "-k", "Shift_L"])
        self.helpers.append(keyboard)

        def has_keyboard():
            check(keyboard.poll() is None, f"wtype holding a keyboard ended with status {keyboard.returncode}")
            return any(i.get("type") == "keyboard" for i in self.swaymsg("get_inputs"))
        self.wait_for(has_keyboard, "the seat to have a keyboard")

    def _socket(self, prefix, suffix):
        names = [n for n in os.listdir(self.env["XDG_RUNTIME_DIR"]) if n.startswith(prefix) and n.endswith(suffix)
                 and not n.endswith(".lock")]
        return names[0] if names else None

    def swaymsg(self, kind):
        return json.loads(self.run("swaymsg", "-s", self.ipc, "-r", "-t", kind))

    def windows(self):
        """The compositor's windows: (title, process id, focused)."""
        found, nodes = [], [self.swaymsg("get_tree")]
        while nodes:
            node = nodes.pop()
            if node.get("pid"):
                found.append((node.get("name"), node["pid"], bool(node.get("focused"))))
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return found

    def window_lines(self):
        return [f"window {title!r} of process {pid}{' (focused)' if focused else ''}"
                for title, pid, focused in self.windows()]

    def windows_of_lockwell(self):
        if self.window.poll() is not None:
            raise Failure(f"lockwell ended with status {self.window.returncode}")
        return [(title, focused) for title, pid, focused in self.windows() if pid == self.window.pid]

    def type(self, text):
        self.run("wtype", "-d", "5", text)

    def key(self, name, modifier=None):
        self.run(*(["wtype", "-M", modifier, "-k", name, "-m", modifier] if modifier else ["wtype", "-k", name]))
