"""Writes files of many kinds into the folder given as the only argument, with Python's own
modules as the independent makers. Fixed seeds: the same bytes on every run."""
import bz2, gzip, io, lzma, os, random, sqlite3, struct, sys, wave, zipfile, zlib

out = sys.argv[1]
rng = random.Random(20240611)
noise = rng.randbytes(48000)

ENGLISH = ("It was a bright cold day in April, and the clocks were striking thirteen. "
           "The hallway smelt of boiled cabbage and old rag mats.\n") * 6
GERMAN = ("Über den Wäldern lag früher Schnee; die Straße führte an großen Höfen vorbei. "
          "Französisch: déjà vu, garçon, naïve, coördinate.\n") * 4
MIXED = "Grüße aus Köln — Привет, мир! こんにちは世界。 Ελληνικά κείμενα. 🙂\n" * 8


def put(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def png(width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def zipped(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        for name, data, entry_method in entries:
            z.writestr(zipfile.ZipInfo(name, (2024, 6, 11, 12, 0, 0)), data,
                       compress_type=entry_method if entry_method is not None else method)
    return buffer.getvalue()


put("ascii.txt", ENGLISH.encode("ascii"))
put("utf8.txt", MIXED.encode("utf-8"))
put("latin1.txt", GERMAN.encode("latin-1"))
put("utf16le.txt", ("\ufeff" + ENGLISH).encode("utf-16-le"))
put("utf16be.txt", GERMAN.encode("utf-16-be"))
put("script.sh", b"#!/bin/sh\nset -e\nfor f in *.txt; do\n    wc -l \"$f\"\ndone\n")

put("gradient.png", png(64, 48, [bytes((x * 4 + y) % 256 for x in range(64 * 3)) for y in range(48)]))
put("noise.png", png(96, 96, [noise[y * 288:(y + 1) * 288] for y in range(96)]))

stream = zlib.compress(b"BT /F1 24 Tf 72 712 Td (Hello) Tj ET\n" * 40)
put("document.pdf", b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
    b"2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n3 0 obj\n<< /Length " +
    str(len(stream)).encode() + b" /Filter /FlateDecode >>\nstream\n" + stream +
    b"\nendstream\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n")

put("archive.zip", zipped([("notes.txt", ENGLISH.encode(), None), ("noise.bin", noise, None)]))
put("noise.zip", zipped([("noise.bin", noise, None)]))
put("document.odt", zipped([("mimetype", b"application/vnd.oasis.opendocument.text", zipfile.ZIP_STORED),
                            ("content.xml", ("<office:document-content>" + GERMAN +
                                             "</office:document-content>").encode(), None)]))

put("text.gz", gzip.compress(ENGLISH.encode(), mtime=1718100000))
put("noise.gz", gzip.compress(noise, mtime=1718100000))
put("noise.bz2", bz2.compress(noise))
put("text.xz", lzma.compress(ENGLISH.encode()))

path = os.path.join(out, "table.sqlite")
if os.path.exists(path):
    os.remove(path)
db = sqlite3.connect(path)
db.execute("create table t(id integer primary key, name text, blob blob)")
db.executemany("insert into t values (?, ?, ?)", [(i, "row %d" % i, noise[i * 40:(i + 1) * 40]) for i in range(400)])
db.commit()
db.close()

sound = io.BytesIO()
with wave.open(sound, "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(8000 * ((i % 40) - 20) / 20)) for i in range(8000)))
put("tone.wav", sound.getvalue())
