#!/usr/bin/env python3
"""Converts one input with pintrove or pathtrove, then reads the document back
with xmllint and with every KML driver of GDAL there is, and checks that the
readers see what the input holds: every point's longitude, latitude and
altitude, every waypoint's name and the name given to the input.

    check_readers.py wpt|plt PROGRAM WORKDIR --input FILE
    check_readers.py wpt|plt PROGRAM WORKDIR --generate LINES SEED

With --input the file's path is used as given, relative to the current
folder; with --generate a file of LINES lines is made in WORKDIR from SEED.
Exits with 77, the skip status, when xmllint or GDAL is not installed.
"""

import argparse
import csv
import io
import json
import math
import os
import shutil
import struct
import subprocess
import sys
from fractions import Fraction

sys.dont_write_bytecode = True  # leaves the source tree as it was
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate  # noqa: E402

SKIP = 77
HEADER_LINES = {"wpt": 4, "plt": 6}
NAME_LIMIT = 55  # bytes of a waypoint name that are kept
METRES_PER_FOOT = Fraction(0.3048)  # the binary64 constant, exactly


# ---- What the input says -----------------------------------------------------

def float32_bits(value):
    return struct.unpack("<I", struct.pack("<f", value))[0]


def float32_from_bits(bits):
    return struct.unpack("<f", struct.pack("<I", bits))[0]


def nearest_float32(exact, negative_zero=False):
    """The binary32 value nearest to the rational `exact`, ties to even."""
    if exact == 0:
        return -0.0 if negative_zero else 0.0
    nearest = float(exact)  # correctly rounded to binary64
    fraction, _ = math.frexp(nearest)
    if abs(nearest) >= 2.0**-126 and (fraction * 2**25) % 2 != 1:
        # Off every halfway point between two normal binary32 values, the
        # second rounding, to binary32, goes where a direct one would.
        return struct.unpack("<f", struct.pack("<f", nearest))[0]
    guess = float32_bits(nearest)
    candidates = [float32_from_bits(b) for b in (guess - 1, guess, guess + 1)
                  if 0 <= b < 0x7f800000 or 0x80000000 <= b < 0xff800000]
    return min(candidates, key=lambda f: (abs(Fraction(f) - exact), float32_bits(f) & 1))


def real(field):
    text = field.strip().decode()
    return nearest_float32(Fraction(text), negative_zero=text.startswith("-"))


def metres(field):
    feet = max(-2**31, min(2**31 - 1, int(field.strip().decode())))
    return nearest_float32(feet * METRES_PER_FOOT)


def xml_text(raw):
    """What a reader gets from bytes written as XML text: well-formed UTF-8
    as it is, other bytes as Windows-1252, and U+FFFD for what XML forbids."""
    chars = []
    i = 0
    while i < len(raw):
        for length in (1, 2, 3, 4):
            try:
                c = raw[i:i + length].decode("utf-8")
                break
            except UnicodeDecodeError:
                continue
        else:
            length = 1
            c = raw[i:i + 1].decode("cp1252", errors="replace")
        forbidden = (ord(c) < 0x20 and c not in "\t\n\r") or c in "\ufffe\uffff"
        chars.append(("\ufffd" if forbidden else c, length))
        i += length
    return chars


def waypoint_name(token):
    """The name a waypoint's token leaves: its comma dropped, cut to fit."""
    if token.endswith(b","):
        token = token[:-1]
    kept, used = [], 0
    for c, length in xml_text(token):
        if used + length > NAME_LIMIT:
            break
        kept.append(c)
        used += length
    return "".join(kept)


def records(kind, data):
    """(longitude, latitude, metres, name) of every record line of a file
    whose lines all fit their pattern; name is None for track points."""
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    result = []
    for line in lines[HEADER_LINES[kind]:]:
        line = line[:511]
        if kind == "wpt":
            rest = line.split(b",", 1)[1].lstrip()
            token = rest.split(None, 1)[0]
            fields = rest[len(token):].split(b",")
            result.append((real(fields[1]), real(fields[0]), metres(fields[12]),
                           waypoint_name(token)))
        else:
            fields = line.split(b",")
            result.append((real(fields[1]), real(fields[0]), metres(fields[3]), None))
    return result


# ---- What the readers say ----------------------------------------------------

def run(command, env=None, cwd=None):
    done = subprocess.run(command, capture_output=True, env=env, cwd=cwd)
    if done.returncode != 0 or done.stderr:
        sys.exit("%s failed with status %d:\n%s" % (
            " ".join(command), done.returncode, done.stderr.decode(errors="replace")))
    return done.stdout.decode()


def gdal_drivers():
    """The KML drivers GDAL has, each with the environment that makes GDAL
    read a document with it alone."""
    formats = run(["ogrinfo", "--formats"])
    names = [n for n in ("LIBKML", "KML") if any(
        line.split()[0:1] == [n] for line in formats.splitlines() if line.strip())]
    env = dict(os.environ)
    return [(n, dict(env, GDAL_SKIP=" ".join(o for o in ("LIBKML", "KML") if o != n)))
            for n in names]


def read_points(document, env):
    """(longitude, latitude, altitude, name) of every point marker, and the
    name of the one folder, as GDAL reads them."""
    table = run(["ogr2ogr", "-f", "CSV", "/vsistdout/", document, "-lco", "GEOMETRY=AS_XYZ"],
                env=env)
    rows = [(float(r["X"]), float(r["Y"]), float(r["Z"]), r["Name"])
            for r in csv.DictReader(io.StringIO(table))]
    layers = run(["ogrinfo", "-ro", "-q", document], env=env).splitlines()
    return rows, layers


def read_line(document, env):
    """(longitude, latitude, altitude) of every vertex of the one line, and
    the name of its marker, as GDAL reads them."""
    collection = json.loads(run(["ogr2ogr", "-f", "GeoJSON", "/vsistdout/", document,
                                 "-lco", "COORDINATE_PRECISION=6"], env=env))
    features = collection["features"]
    if len(features) != 1 or features[0]["geometry"]["type"] != "LineString":
        sys.exit("expected one line, read %s" % [f["geometry"]["type"] for f in features])
    vertices = [tuple(v) for v in features[0]["geometry"]["coordinates"]]
    return vertices, features[0]["properties"]["Name"]


def six(value):
    """Six decimals, as written; a zero's sign is not a reader's business."""
    text = "%.6f" % value
    return "0.000000" if text == "-0.000000" else text


def compare(what, expected, actual):
    """Fails with the first differences between two lists of records."""
    if len(expected) != len(actual):
        sys.exit("%s: %d records expected, %d read" % (what, len(expected), len(actual)))
    wrong = [(i, e, a) for i, (e, a) in enumerate(zip(expected, actual)) if e != a]
    if wrong:
        sys.exit("%s: %d of %d records differ, first:\n%s" % (
            what, len(wrong), len(expected),
            "\n".join("  record %d: expected %r, read %r" % w for w in wrong[:10])))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["wpt", "plt"])
    parser.add_argument("program")
    parser.add_argument("workdir")
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--input")
    source.add_argument("--generate", nargs=2, type=int, metavar=("LINES", "SEED"))
    args = parser.parse_args()

    missing = [t for t in ("xmllint", "ogr2ogr", "ogrinfo") if not shutil.which(t)]
    if missing:
        print("SKIPPED: not installed: %s" % ", ".join(missing))
        sys.exit(SKIP)
    drivers = gdal_drivers()
    if not drivers:
        print("SKIPPED: GDAL has no KML driver")
        sys.exit(SKIP)

    os.makedirs(args.workdir, exist_ok=True)
    program = os.path.abspath(args.program)
    if args.input:
        cwd, input_path = None, args.input
    else:
        # A path with markup characters and a non-ASCII letter, written as
        # the document's name.
        cwd, input_path = args.workdir, "generated ü&<%d>.%s" % (args.generate[1], args.kind)
        with open(os.path.join(cwd, input_path), "wb") as out:
            out.write(generate.generate(args.kind, *args.generate))
    with open(os.path.join(cwd or ".", input_path), "rb") as f:
        expected = records(args.kind, f.read())
    document = os.path.abspath(os.path.join(args.workdir, os.path.basename(input_path) + ".kml"))

    run([program, input_path, document], cwd=cwd)
    run(["xmllint", "--stream", "--noout", document])

    points = [(six(lon), six(lat), six(alt)) for lon, lat, alt, _ in expected]
    for driver, env in drivers:
        if args.kind == "wpt":
            rows, layers = read_points(document, env)
            compare("%s points" % driver, points, [(six(x), six(y), six(z)) for x, y, z, _ in rows])
            compare("%s names" % driver, [n for *_, n in expected], [n for *_, n in rows])
            layer = "1: " + input_path
            if len(layers) != 1 or not (layers[0] == layer or layers[0].startswith(layer + " (")):
                sys.exit("%s: expected the one folder %r, read %r" % (driver, input_path, layers))
        else:
            vertices, name = read_line(document, env)
            compare("%s vertices" % driver, points, [tuple(six(c) for c in v) for v in vertices])
            if name != input_path:
                sys.exit("%s: expected the line's name %r, read %r" % (driver, input_path, name))
        print("%s: %d records read back as written" % (driver, len(expected)))


if __name__ == "__main__":
    main()
