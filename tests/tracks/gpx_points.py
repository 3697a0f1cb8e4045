#!/usr/bin/env python3
"""Reads a GPX 1.1 file with Python's own XML parser and prints what it holds, one line
each, UTF-8, fields separated by tabs:

    trk <name> <number>
    pt <lat> <lon> <time as milliseconds since 1970 UTC> <speed m/s or -> <desc or ->

Exit status 1, with the reason on stderr, when the document is not the GPX 1.1 expected.
"""
import sys
import xml.etree.ElementTree as ET
from datetime import datetime, timezone

GPX = "{http://www.topografix.com/GPX/1/1}"
TPX = "{http://www.garmin.com/xmlschemas/TrackPointExtension/v2}"


def fail(reason):
    print(reason, file=sys.stderr)
    sys.exit(1)


def utc_ms(text):
    if not text.endswith("Z"):
        fail("time without Z: " + text)
    fmt = "%Y-%m-%dT%H:%M:%S.%f" if "." in text else "%Y-%m-%dT%H:%M:%S"
    t = datetime.strptime(text[:-1], fmt).replace(tzinfo=timezone.utc)
    return round(t.timestamp() * 1000)


def main():
    root = ET.parse(sys.argv[1]).getroot()
    if root.tag != GPX + "gpx":
        fail("root element " + root.tag)
    if root.get("version") != "1.1" or root.get("creator") != "Sentrel":
        fail("gpx attributes " + repr(root.attrib))
    out = []
    for trk in root.findall(GPX + "trk"):
        out.append("trk\t%s\t%s" % (trk.findtext(GPX + "name"), trk.findtext(GPX + "number")))
        segments = trk.findall(GPX + "trkseg")
        if len(segments) != 1:
            fail("segments: %d" % len(segments))
        for pt in segments[0].findall(GPX + "trkpt"):
            speed = pt.find(GPX + "extensions/" + TPX + "TrackPointExtension/" + TPX + "speed")
            out.append("pt\t%s\t%s\t%d\t%s\t%s" % (
                pt.get("lat"), pt.get("lon"), utc_ms(pt.findtext(GPX + "time")),
                speed.text if speed is not None else "-",
                pt.findtext(GPX + "desc") or "-"))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


main()
