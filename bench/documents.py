#!/usr/bin/env python3
"""Checks the programs' documents on generated inputs of every kind, LINES
lines each (default 10,000): on the expected layouts they are byte for byte
what the plain stdio converter, bench_baseline, writes. The baseline cannot
read the other writers' layouts, so there the waypoint document must hold
one marker per line with that line's name, place and altitude (within what
binary32 and six decimal places keep), and the track document the same
points as from the expected layout.

    documents.py GENERATE BASELINE PINTROVE PATHTROVE [LINES]
"""

import os
import re
import subprocess
import sys
import tempfile

FEET = 0.3048


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, check=True).stdout


def other_waypoints_wrong(text, document):
    """Why the document of the waypoint input TEXT is wrong, or None."""
    lines = text.decode().split("\r\n")[4:-1]
    marker = r"<Placemark>\n  <name>([^<]*)</name>\n.*?<coordinates>([^<]*)</coordinates>"
    markers = re.findall(marker, document.decode(), re.S)
    if len(markers) != len(lines):
        return "%d markers for %d lines" % (len(markers), len(lines))
    for number, (line, (name, coordinates)) in enumerate(zip(lines, markers), 1):
        field = line.split(",")
        value = [float(v) for v in coordinates.split(",")]
        wanted = [float(field[3]), float(field[2]), float(field[14]) * FEET]
        if name != field[1] or any(abs(a - b) > within for a, b, within in
                                   zip(value, wanted, (1e-5, 1e-5, 1e-3))):
            return "marker %d: %s at %s, line has %s" % (number, name, coordinates, line)
    return None


def wrong(kind, generate, baseline, programs, lines, scratch):
    """Why the document of KIND is wrong, or None."""
    text = run([generate, kind, lines], scratch)
    name = "%s.%s" % (kind, kind[:3])
    with open(os.path.join(scratch, name), "wb") as out:
        out.write(text)
    document = run([programs[kind[:3]], name], scratch)
    if kind == "wpt-other":
        return other_waypoints_wrong(text, document)
    if kind == "plt-other":
        # Line 4 holds the input's name.
        expected = run([programs["plt"], "plt.plt"], scratch)
        same = document.split(b"\n")[4:] == expected.split(b"\n")[4:]
        return None if same else "not the points of the expected layout"
    same = document == run([baseline, kind[:3], name], scratch)
    return None if same else "differs from the baseline's"


def main(generate, baseline, pintrove, pathtrove, lines="10000"):
    generate, baseline, pintrove, pathtrove = map(os.path.abspath, (generate, baseline, pintrove,
                                                                    pathtrove))
    programs = {"wpt": pintrove, "plt": pathtrove}
    failed = False
    with tempfile.TemporaryDirectory(prefix="trove-documents.") as scratch:
        # The track's expected layout first: the other layout's yardstick.
        for kind in ("wpt", "wpt-varied", "wpt-other", "plt", "plt-varied", "plt-other"):
            why = wrong(kind, generate, baseline, programs, lines, scratch)
            print("%-10s %s" % (kind, why or "ok"))
            failed = failed or why is not None
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        sys.exit("usage: documents.py GENERATE BASELINE PINTROVE PATHTROVE [LINES]")
    main(*sys.argv[1:])
