#!/usr/bin/env python3
"""Reads a CSV report with Python's own csv module, as a spreadsheet would take it
(UTF-8 with a byte-order mark, ';' between fields), and prints each row as a JSON list,
one a line, UTF-8.

Exit status 1, with the reason on stderr, when the bytes break the form expected: no
byte-order mark, a line not ended by CR LF, rows of different lengths.
"""
import csv
import io
import json
import sys


def fail(reason):
    print(reason, file=sys.stderr)
    sys.exit(1)


def main():
    raw = open(sys.argv[1], "rb").read()
    if not raw.startswith(b"\xef\xbb\xbf"):
        fail("no byte-order mark")
    if not raw.endswith(b"\r\n"):
        fail("the last line does not end with CR LF")
    text = raw.decode("utf-8-sig")
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=";", quotechar='"',
                           lineterminator="\r\n", strict=True))
    if not rows:
        fail("no header")
    for row in rows:
        if len(row) != len(rows[0]):
            fail("row of %d fields under a header of %d: %r" % (len(row), len(rows[0]), row))
    # Outside quoted fields a line ends with CR LF and nothing else.
    quoted = False
    for i, c in enumerate(text):
        if c == '"':
            quoted = not quoted
        elif not quoted and c == "\n" and (i == 0 or text[i - 1] != "\r"):
            fail("a line ends with LF alone at %d" % i)
        elif not quoted and c == "\r" and text[i + 1:i + 2] != "\n":
            fail("a line ends with CR alone at %d" % i)
    out = [json.dumps(row, ensure_ascii=False) for row in rows]
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


main()
