#!/usr/bin/env python3
"""Writes the small seed corpora in fuzz/corpus/<target>/. Deterministic: rerunning it
gives the same files. Inputs kept from findings live beside the seeds as crash-*."""
import bz2
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(7)


def text(n):
    words = [b"lockwell", b"folder", b"key", b"phrase", b"\r\n", b" ", b"0123", b"zz"]
    out = b""
    while len(out) < n:
        out += rng.choice(words)
    return out[:n]


def noise(n):
    return bytes(rng.randrange(256) for _ in range(n))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def ops(seq):
    out = bytes([len(seq)])
    for kind, arg in seq:
        out += bytes([kind]) + struct.pack("<H", arg)
    return out


def bzip2_stream():
    t = "BZip2StreamFuzz"
    reads = [(0, 100), (0, 4000), (7, 0), (2, 50), (0, 300), (1, 0), (0, 1000), (3, 10), (0, 65535)]
    mixed = [(0, 10), (6, 3), (0, 20), (7, 0), (4, 0), (4, 1), (4, 2), (5, 1), (3, 0), (1, 0), (0, 500)]
    for i, (payload, level) in enumerate([(b"", 9), (text(3000), 5), (noise(2000), 1), (b"a" * 5000, 5)]):
        stream = bz2.compress(payload, level)
        write(t, f"stream-{i}", bytes([0]) + ops(reads) + stream)
        write(t, f"trailing-{i}", bytes([0]) + ops(reads) + stream + b"junk")
        write(t, f"cut-{i}", bytes([0]) + ops(reads) + stream[: len(stream) // 2])
        write(t, f"offset-{i}", bytes([3 << 4]) + ops(mixed) + stream)
    # The harness packs the payload itself, then flips the bytes named here.
    for i, flips in enumerate([[], [(20, 0x10)], [(4, 1), (100, 0x80)], [(3, 0xFF)]]):
        muts = bytes([len(flips)]) + b"".join(struct.pack("<HB", o, x) for o, x in flips)
        write(t, f"packed-{i}", bytes([1 | (i << 1)]) + ops(reads) + muts + text(2500 + 500 * i))
    write(t, "not-bzip2", bytes([0]) + ops(reads) + noise(300))


def decrypt_job():
    t = "DecryptJobFuzz"
    # cipher, name (0 .fe2, 1 .fez, 2 .FEZ, 3 .txt.fe2, 4 no extension), flags, more,
    # eight answers, phrase length, phrase, payload
    for cipher in range(4):
        for name, flags in [(0, 1), (1, 3), (2, 3), (1, 1), (0, 0), (3, 1 | 4), (4, 1)]:
            head = bytes([cipher, name, flags, 0]) + bytes(range(8))
            phrase = b"phrase %d" % cipher
            write(t, f"c{cipher}-n{name}-f{flags}", head + bytes([len(phrase)]) + phrase + text(1500))
    # Destination folders, wipes, clipboard, mail and an earlier output in the way.
    extras = [(1, 3 | 8, 0), (1, 3 | 16, 0), (0, 1 | 32, 0), (1, 3 | 64, 4), (0, 1 | 128, 3), (1, 3 | 4 | 8, 0)]
    for i, (name, flags, more) in enumerate(extras):
        head = bytes([i % 4, name, flags, more]) + bytes([0, 1, 2, 1, 0, 2, 1, 0])
        write(t, f"extra-{i}", head + bytes([4]) + b"word" + text(800))
    write(t, "no-cipher", bytes([4, 1, 3, 0]) + bytes(8) + bytes([1]) + b"k" + text(100))


def decrypt_text():
    t = "DecryptTextFuzz"
    import base64
    for cipher in range(4):
        write(t, f"b64-{cipher}", bytes([cipher, 6]) + b"secret" + base64.b64encode(noise(40 + cipher)))
        write(t, f"raw-{cipher}", bytes([cipher, 0]) + noise(37))
    write(t, "padding", bytes([1, 3]) + b"abc" + b"QQ==QUI=QUJD====A===")
    write(t, "empty", bytes([2, 0]))


def profile_file():
    t = "ProfileFileFuzz"

    def seed(name, section, key, value, body):
        data = b"".join(bytes([len(x)]) + x for x in (section, key, value)) + body
        write(t, name, data)

    seed("cipher", b"Options", b"Cipher", b"2", b"[Options]\r\nCipher=1\r\n")
    seed("missing", b"Options", b"Cipher", b"3", b"")
    seed("other", b"Options", b"Cipher", b"0", b"[Other]\r\nCipher=3\r\n[options]\r\n  cipher = ' 7 ' \r\nx=y\r\n")
    seed("hex", b"A", b"n", b"$7FFFFFFF", b"[A]\nn=0x80000000\n[B]\nn=-2147483648\r")
    seed("junk", b"A", b"k", b"v", b"[A\r\n=\r\n[]\r\nk\r\n\x00[A]\r\nk=1")
    seed("decimal", b"S", b"K", b"-2147483649", b"[S]\r\nK=+00000000000000000042\r\n")


def folder_list():
    t = "FolderListFuzz"
    write(t, "crlf", b"/home/user\r\n/home/user/Documents\r\n/tmp\r\n")
    write(t, "mixed", b"/a\n/b\r/c\r\n\r\n\n/d")
    write(t, "nul", b"/a\r\n/b\x00/c\r\n")
    write(t, "latin1", b"/home/\xe9t\xe9\r\n/HOME/Zed\r\n/home/alpha\r\n")


def path_shortener():
    t = "PathShortenerFuzz"
    for i, (width, path) in enumerate([
        (120, b"/home/user/Documents/Reports/2024/summary.txt.fe2"),
        (10, b"/a/b/c/d/e/f/g/h/file"),
        (0, b"/only"),
        (400, b"relative/path/name.fez"),
        (30, b"/.../x/y/"),
        (25, b"//double//slash//name"),
        (5, b"noslash"),
    ]):
        write(t, f"path-{i}", struct.pack("<H", width) + path)


def parallel_bzip2():
    t = "ParallelBZip2Fuzz"

    def seed(name, flags, copies, piece, sizes, flips, payload):
        data = bytes([flags, copies]) + struct.pack("<H", piece - 1) + bytes([len(sizes) - 1])
        data += b"".join(struct.pack("<I", n - 1)[:3] for n in sizes)
        data += bytes([len(flips)]) + b"".join(struct.pack("<I", o)[:3] + bytes([x]) for o, x in flips)
        write(t, name, data + payload)

    seed("one-block", 1 | (4 << 1) | (1 << 5), 0, 65536, [4096], [], text(3000))
    seed("blocks-bs1", 1 | (1 << 5), 60, 65535, [65536, 7], [], text(4000))
    seed("flipped-bs1", 1 | (2 << 5), 50, 1000, [100000], [(30000, 0x10)], text(3500))
    seed("cut-source", 1, 40, 1, [3, 4095], [(5, 0x01)], noise(2500))
    seed("runs", 1 | (2 << 1) | 0x80, 63, 4096, [1 << 20], [], b"a" * 4000 + b"b")
    seed("raw-stream", 0, 0, 100, [4096], [], bz2.compress(text(2000), 9) + b"junk")
    seed("not-bzip2", 1 << 5, 0, 65536, [4096], [], noise(200))


def bzip2_block():
    t = "BZip2BlockFuzz"

    def seed(name, flags, shift, flips, payload):
        data = bytes([flags, shift & 0xFF, len(flips)])
        data += b"".join(struct.pack("<H", o) + bytes([x]) for o, x in flips)
        write(t, name, data + payload)

    seed("text-bs1", 0, 0, [], text(3000))
    seed("runs-bs9", 8, 0, [], b"x" * 5 + b"y" * 4 + b"z" * 300 + bytes(range(256)))
    seed("noise-bs5", 4, 0, [], noise(2000))
    seed("flipped", 0, 0, [(700, 0x85)], text(1500))
    seed("fixed-crc", 0x20, 0, [(300, 0)], text(800))
    seed("longer", 0, 9, [], text(600))
    seed("shorter", 0x40, -3, [], b"q" * 900)
    seed("raw-bits", 0x10, 0, [], noise(300))


def bzip2_encoder():
    t = "BZip2EncoderFuzz"

    def seed(name, flags, length, payload):
        write(t, name, bytes([flags]) + struct.pack("<I", length)[:3] + payload)

    seed("text-bs9", 9, 0, text(3000))
    seed("noise-bs1-3-threads", 1 | (2 << 6), 0, noise(2000))
    seed("tiled-ties-bs1", 1 | (1 << 4) | (1 << 6), 250000, text(700))
    seed("tiled-one-change-bs5", 5 | (2 << 4), 480000, text(1000))
    seed("runs-bs2", 2 | (3 << 4) | (1 << 6), 300000, noise(500))
    seed("one-byte", 5, 0, b"a")


def main():
    for make in (bzip2_stream, decrypt_job, decrypt_text, profile_file, folder_list, path_shortener,
                 parallel_bzip2, bzip2_block, bzip2_encoder):
        make()
    return 0


if __name__ == "__main__":
    sys.exit(main())
