#!/usr/bin/env python3
"""Timing helper and the combined table of Lockwell against its peers.

  table.py time RESULTS KEY BYTES -- COMMAND...   runs COMMAND, appends its wall time and peak
                                                  resident memory to RESULTS/timings.tsv
  table.py speed RESULTS KEY -- COMMAND...        runs `openssl speed`, appends its MB/s to
                                                  RESULTS/speed.tsv
  table.py print RESULTS...                       prints the table (Markdown) from RESULTS:
                                                  *.json from Google Benchmark, timings.tsv,
                                                  speed.tsv; a later folder's figures replace
                                                  an earlier one's

A figure is the best of its repeats (shortest time, highest rate, largest peak)."""
import glob
import json
import os
import re
import resource
import subprocess
import sys
import time


def run_time(results, key, size, command):
    start = time.monotonic()
    done = subprocess.run(command, stdout=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    if done.returncode != 0:
        sys.exit(f"{key}: {' '.join(command)} failed with status {done.returncode}")
    peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    with open(os.path.join(results, "timings.tsv"), "a") as out:
        out.write(f"{key}\t{size}\t{seconds:.6f}\t{peak_kib}\n")


def run_speed(results, key, command):
    text = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    # The last line: "<NAME>  <1000s of bytes per second>k" for the one block size asked.
    last = [line for line in text.splitlines() if line.strip()][-1]
    rate = float(last.split()[-1].rstrip("k")) * 1000 / 1e6
    with open(os.path.join(results, "speed.tsv"), "a") as out:
        out.write(f"{key}\t{rate:.3f}\n")


class Figures:
    """Figures of one or more results folders; a later folder's figure replaces an earlier one."""

    def __init__(self, folders):
        self.benchmarks = {}  # name -> (entry, folder)
        self.timings = {}  # key -> (MB/s, peak MiB, folder)
        self.speeds = {}  # key -> (MB/s, folder)
        self.sizes = {}  # key -> bytes of the timed run
        for folder in folders:
            self._read(folder)
        self.latest = folders[-1]
        self.order = {folder: i for i, folder in enumerate(folders)}
        self.used = set()
        self.earlier = set()  # folders other than the latest that a row was taken from

    def _read(self, folder):
        benchmarks = {}  # the entry with the highest rate
        for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
            with open(path) as f:
                try:
                    data = json.load(f)
                except json.JSONDecodeError:
                    print(f"table.py: {path} is not JSON, left out", file=sys.stderr)
                    continue
            for entry in data.get("benchmarks", []):
                if entry.get("error_occurred") or entry.get("run_type") == "aggregate":
                    continue
                old = benchmarks.get(entry["name"])
                if old is None or self._rate(entry) > self._rate(old):
                    benchmarks[entry["name"]] = entry
        self.benchmarks.update({name: (entry, folder) for name, entry in benchmarks.items()})
        timings = {}
        for key, size, seconds, peak in self._lines(folder, "timings.tsv"):
            self.sizes[key] = int(size)
            rate = int(size) / float(seconds) / 1e6
            old_rate, old_peak = timings.get(key, (0.0, 0.0))
            timings[key] = (max(old_rate, rate), max(old_peak, int(peak) / 1024))
        self.timings.update({key: (*value, folder) for key, value in timings.items()})
        speeds = {}
        for key, rate in self._lines(folder, "speed.tsv"):
            speeds[key] = max(speeds.get(key, 0.0), float(rate))
        self.speeds.update({key: (rate, folder) for key, rate in speeds.items()})

    @staticmethod
    def _rate(entry):
        return entry.get("bytes_per_second", entry.get("MB/s", 0))

    @staticmethod
    def _lines(results, name):
        path = os.path.join(results, name)
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return [line.rstrip("\n").split("\t") for line in f if line.strip()]

    @staticmethod
    def _bare(name):
        """The name without Google Benchmark's run-setting suffixes ("/iterations:3", "/manual_time")."""
        settings = r"iterations|repeats|min_time|min_warmup_time|manual_time|real_time|process_time|threads"
        return re.sub(rf"(?:/(?:{settings})(?::[^/]*)?)+$", "", name)

    def get(self, sources):
        """The first source that was measured: (value, where, from an earlier folder)."""
        for kind, *what in sources:
            found = None
            if kind in ("gb", "counter"):  # a rate or a counter, the name matched in full
                field = "bytes_per_second" if kind == "gb" else what[1]
                matches = [(self.order[folder], name) for name, (entry, folder) in self.benchmarks.items()
                           if re.fullmatch(what[0], self._bare(name), re.I) and field in entry]
                if matches:
                    name = max(matches, key=lambda match: match[0])[1]  # the latest run's
                    entry, folder = self.benchmarks[name]
                    self.used.add(name)
                    found = entry[field] / (1e6 if kind == "gb" else 1.0), name, folder
            elif kind in ("cmd", "peak") and what[0] in self.timings:
                rate, peak, folder = self.timings[what[0]]
                found = rate if kind == "cmd" else peak, what[0], folder
            elif kind == "speed" and what[0] in self.speeds:
                rate, folder = self.speeds[what[0]]
                found = rate, "openssl speed " + what[0], folder
            elif kind == "maxpeak":  # the largest peak of the timed runs whose key starts so
                peaks = [(peak, key, folder) for key, (_, peak, folder) in self.timings.items()
                         if key.startswith(what[0])]
                if peaks:
                    found = max(peaks)[0], "every timed " + what[0].strip() + " run", max(peaks)[2]
            elif kind == "const":
                found = float(what[0]), "limit", self.latest
            if found:
                value, where, folder = found
                earlier = folder != self.latest
                if earlier:
                    self.earlier.add(folder)
                    where += " (from " + folder + ")"
                return value, where, earlier
        return None, None, False


def bench(work, direction, who):
    """Names like "Rijndael/encrypt/OpenSSL", "AES192CBC/decrypt/libgcrypt", "RC4/Lockwell"."""
    sep = r"[/_ :-]"
    direction = f"{sep}(?:stream)?{direction}" if direction else ""  # RC4: one way
    return ("gb", rf"(?:{work})[^/]*{direction}(?:{sep}\w+)*?{sep}{who}")


AES = r"rijndael|aes\w*"
BF = r"blowfish\w*|bf\w*"
SERPENT = r"serpent\w*"
RC4 = r"rc4|arcfour"

# work, Lockwell's sources, peer, peer's sources, target ratio (None: aim only), unit
ROWS = [
    ("Rijndael (AES-192-CBC) `StreamEncrypt`", [bench(AES, "encrypt", "lockwell"), ("gb", r"Rijndael/encrypt")],
     "OpenSSL", [bench(AES, "encrypt", "openssl"), ("speed", "aes-192-cbc/encrypt")], 1.0, "MB/s"),
    ("Rijndael `StreamDecrypt`", [bench(AES, "decrypt", "lockwell"), ("gb", r"Rijndael/decrypt")],
     "OpenSSL", [bench(AES, "decrypt", "openssl"), ("speed", "aes-192-cbc/decrypt")], 1.0, "MB/s"),
    ("Rijndael `StreamDecrypt`", [bench(AES, "decrypt", "lockwell"), ("gb", r"Rijndael/decrypt")],
     "libgcrypt", [bench(AES, "decrypt", "libgcrypt")], None, "MB/s"),
    ("Blowfish-CBC encrypt", [bench(BF, "encrypt", "lockwell"), ("gb", r"Blowfish/encrypt")],
     "OpenSSL", [bench(BF, "encrypt", "openssl"), ("speed", "bf-cbc/encrypt")], 1.0, "MB/s"),
    ("Blowfish-CBC decrypt", [bench(BF, "decrypt", "lockwell"), ("gb", r"Blowfish/decrypt")],
     "OpenSSL", [bench(BF, "decrypt", "openssl"), ("speed", "bf-cbc/decrypt")], None, "MB/s"),
    ("Blowfish-CBC decrypt", [bench(BF, "decrypt", "lockwell"), ("gb", r"Blowfish/decrypt")],
     "libgcrypt", [bench(BF, "decrypt", "libgcrypt")], 1.0, "MB/s"),
    ("Serpent-CBC encrypt", [bench(SERPENT, "encrypt", "lockwell"), ("gb", r"Serpent/encrypt")],
     "libgcrypt", [bench(SERPENT, "encrypt", "libgcrypt")], 1.0, "MB/s"),
    ("Serpent-CBC decrypt", [bench(SERPENT, "decrypt", "lockwell"), ("gb", r"Serpent/decrypt")],
     "libgcrypt", [bench(SERPENT, "decrypt", "libgcrypt")], 1.0, "MB/s"),
    ("RC4", [bench(RC4, "", "lockwell"), ("gb", r"RC4/encrypt")],
     "OpenSSL", [bench(RC4, "", "openssl"), ("speed", "rc4/encrypt")], 1.0, "MB/s"),
    ('".fe2" job, Rijndael', [("cmd", "lockwell fe2 rijndael")],
     "`openssl enc -aes-192-cbc`", [("cmd", "openssl enc aes-192-cbc")], 1.0, "MB/s"),
    ('".fe2" job, Rijndael', [("cmd", "lockwell fe2 rijndael")],
     "`dd bs=8k` copy", [("cmd", "dd copy")], None, "MB/s"),
    ('".fe2" job, Blowfish', [("cmd", "lockwell fe2 blowfish")],
     "`openssl enc -bf-cbc`", [("cmd", "openssl enc bf-cbc")], 1.0, "MB/s"),
    ('".fe2" job, RC4', [("cmd", "lockwell fe2 rc4")],
     "`openssl enc -rc4`", [("cmd", "openssl enc rc4")], 1.0, "MB/s"),
    ('".fez" encrypt job', [("cmd", "lockwell fez encrypt"), ("counter", "job/fez_encrypt", "MB/s")],
     "`bzip2 -5`", [("cmd", "bzip2 -5"), ("counter", "peer/bzip2_-5", "MB/s")], 1.8, "MB/s"),
    ('".fez" encrypt job', [("cmd", "lockwell fez encrypt"), ("counter", "job/fez_encrypt", "MB/s")],
     "`lbzip2 -5 -n 2`", [("cmd", "lbzip2 -5 -n 2"), ("counter", "peer/lbzip2_-5_-n_2", "MB/s")], 1.0, "MB/s"),
    *[row for kind in ("text", "binary", "random") for row in (
        (f"bzip2 encode, one thread, {kind}", [("gb", rf"BlockCoder/{kind}/Lockwell")],
         "libbz2", [("gb", rf"BlockCoder/{kind}/libbz2_level5")], 1.0, "MB/s"),
        (f"bzip2 encode, one thread, {kind}", [("gb", rf"BlockCoder/{kind}/Lockwell")],
         "`lbzip2 -5 -n 1`", [("gb", rf"BlockCoder/{kind}/lbzip2_n1")], None, "MB/s"))],
    ('".fez" decrypt job', [("cmd", "lockwell fez decrypt"), ("counter", "job/fez_decrypt", "MB/s")],
     "`bzip2 -d`", [("cmd", "bzip2 -d"), ("counter", "peer/bzip2_-d", "MB/s")], 1.8, "MB/s"),
    ('".fez" decrypt job', [("cmd", "lockwell fez decrypt"), ("counter", "job/fez_decrypt", "MB/s")],
     "`lbzip2 -d -n 2`", [("cmd", "lbzip2 -d -n 2"), ("counter", "peer/lbzip2_-d_-n_2", "MB/s")], None, "MB/s"),
    ("peak memory, {lockwell big fez encrypt} \".fez\" encrypt job", [("peak", "lockwell big fez encrypt")],
     "limit", [("const", 64)], "max", "MiB"),
    ("peak memory, {lockwell big fez decrypt} \".fez\" decrypt job", [("peak", "lockwell big fez decrypt")],
     "limit", [("const", 64)], "max", "MiB"),
    ("peak memory, every job above", [("maxpeak", "lockwell ")],
     "limit", [("const", 64)], "max", "MiB"),
    ("`WipeFile`, 7 passes, flush each", [("counter", r"Wipe/\d+MiB", "Lockwell_MBps")],
     "7 × `dd bs=1M conv=notrunc,fdatasync`", [("counter", r"Wipe/\d+MiB", "dd_MBps")], 0.9, "MB/s"),
]


def fmt(value, unit):
    if value is None:
        return "–"
    return f"{value:,.0f} {unit}" if value >= 100 else f"{value:.1f} {unit}"


def print_table(folders):
    figures = Figures(folders)
    print("| work | Lockwell | peer | peer's figure | ratio | target | met |")
    print("|---|---:|---|---:|---:|---|---|")
    for work, ours_from, peer, peer_from, target, unit in ROWS:
        for key, size in figures.sizes.items():  # "{key}": the size of that run's file
            work = work.replace("{" + key + "}", f"{size / 2**30:g} GiB" if size >= 2**30 else f"{size >> 20} MiB")
        work = re.sub(r"\{[^}]*\} ", "", work)
        ours, ours_at, ours_earlier = figures.get(ours_from)
        theirs, theirs_at, theirs_earlier = figures.get(peer_from)
        if ours_earlier or theirs_earlier:
            work += " †"
        print(f"{work} vs {peer}: {ours_at} / {theirs_at}", file=sys.stderr)
        ratio = ours / theirs if ours is not None and theirs else None
        if target == "max":
            goal, met = f"under {theirs:.0f} {unit}", ratio is not None and ratio < 1.0
        elif target is None:
            goal, met = "aim", None
        else:
            goal, met = f"≥ {target} ×", ratio is not None and ratio >= target
        mark = "–" if ratio is None else ("aim" if met is None else ("yes" if met else "**no**"))
        shown = "–" if ratio is None else f"{ratio:.2f}"
        print(f"| {work} | {fmt(ours, unit)} | {peer} | {fmt(theirs, unit)} | {shown} | {goal} | {mark} |")
    if figures.earlier:
        runs = []
        for folder in sorted(figures.earlier):
            stamp = re.search(r"(\d{4})(\d\d)(\d\d)-(\d\d)(\d\d)\d\d$", folder.rstrip("/"))
            runs.append("{}-{}-{} {}:{} UTC".format(*stamp.groups()) if stamp else os.path.basename(folder))
        print("\n† measured in an earlier run of the same script: " + ", ".join(runs) + ".")
    left = sorted(set(figures.benchmarks) - figures.used)
    if left:
        print("\nnot in the table: " + ", ".join(left), file=sys.stderr)


def main(argv):
    if len(argv) >= 3 and argv[1] == "print":
        print_table(argv[2:])
    elif len(argv) >= 6 and argv[1] == "time" and argv[5] == "--":
        run_time(argv[2], argv[3], int(argv[4]), argv[6:])
    elif len(argv) >= 5 and argv[1] == "speed" and argv[4] == "--":
        run_speed(argv[2], argv[3], argv[5:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
