#!/usr/bin/python3
"""Writes the pack fuzzer's seeds into corpus/pack_loader: small archives of the
shapes a pack may take, honest and crafted. Run again after changing it."""

import io
import os
import struct
import zipfile
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "pack_loader")


def honest(comment=b""):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        z.writestr("index.html", "<html><script src=app.js></script></html>")
        z.writestr(zipfile.ZipInfo("js/"), b"")
        z.writestr("js/App.js", "app();" * 40, zipfile.ZIP_DEFLATED)
        z.writestr("empty.txt", b"")
        z.comment = comment
    return buf.getvalue()


class Unseekable(io.RawIOBase):
    """zipfile writes data descriptors when it cannot seek back."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def with_descriptors():
    out = Unseekable()
    with zipfile.ZipFile(out, "w") as z:
        with z.open("a.txt", "w") as f:
            f.write(b"alpha" * 10)
        with z.open("b.css", "w") as f:
            f.write(b"body{}")
    return bytes(out.data)


def local(name, data, method):
    content = data
    if method:
        c = zlib.compressobj(9, zlib.DEFLATED, -15)
        content = c.compress(data) + c.flush()
    header = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, method, 0, 0, zlib.crc32(data),
                         len(content), len(data), len(name), 0)
    return header + name + content, zlib.crc32(data), len(content), len(data)


def central(name, crc, csize, usize, offset, method, zip64):
    extra = b""
    if zip64:
        extra = struct.pack("<HHQQQ", 1, 24, usize, csize, offset)
        csize = usize = offset = 0xFFFFFFFF
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, method, 0, 0, crc,
                       csize, usize, len(name), len(extra), 0, 0, 0, 0, offset) + name + extra


def by_hand(entries, zip64=False, shared=()):
    """entries: (name, data, method); shared: extra names pointing at entry 0."""
    body, records, first = b"", b"", None
    for name, data, method in entries:
        offset = len(body)
        raw, crc, csize, usize = local(name, data, method)
        body += raw
        record = (crc, csize, usize, offset, method)
        first = first or record
        records += central(name, crc, csize, usize, offset, method, zip64)
    for name in shared:
        crc, csize, usize, offset, method = first
        records += central(name, crc, csize, usize, offset, method, zip64)
    count = len(entries) + len(shared)
    end = b""
    if zip64:
        at = len(body) + len(records)
        end += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count,
                           len(records), len(body))
        end += struct.pack("<IIQI", 0x07064B50, 0, at, 1)
        end += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                           0xFFFFFFFF, 0)
    else:
        end += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(records),
                           len(body), 0)
    return body + records + end


SEEDS = {
    "honest.zip": honest(),
    "comment.zip": honest(b"a comment with PK\x05\x06 inside"),
    "descriptors.zip": with_descriptors(),
    "zip64.zip": by_hand([(b"a.txt", b"alpha", 0), (b"B.js", b"b" * 300, 8)], zip64=True),
    "shared.zip": by_hand([(b"bomb.bin", bytes(20000), 8), (b"index.html", b"page", 0)],
                          shared=(b"copy1.bin", b"copy2.bin")),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
