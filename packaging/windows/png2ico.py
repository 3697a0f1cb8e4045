#!/usr/bin/env python3
"""Packs PNG pictures into one Windows .ico file (PNG-compressed entries, as Windows
Vista and later read them): png2ico.py OUT.ico A.png B.png ..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG file")
    return struct.unpack(">II", data[16:24])


def main(out, pngs):
    images = [open(p, "rb").read() for p in pngs]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, bodies = b"", b""
    for data in images:
        w, h = png_size(data)
        # A side of 256 is written as 0 in the one-byte fields.
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        bodies += data
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + bodies)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit("usage: png2ico.py OUT.ico A.png [B.png ...]")
    main(sys.argv[1], sys.argv[2:])
