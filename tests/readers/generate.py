#!/usr/bin/env python3
"""Writes a waypoint (.wpt) or track (.plt) file of well-formed lines drawn
from a seeded random generator, so the same seed always gives the same file.

    generate.py wpt|plt LINES SEED OUTPUT

Every line fits its pattern, but the lines vary in what a reader of the
document can get wrong: names with markup characters, multi-byte UTF-8,
Windows-1252 bytes, control characters, names beyond 55 bytes and empty
names; numbers with and without sign, decimals and exponent; blanks and tabs
before numbers; Windows line ends; lines longer than 511 bytes.
"""

import random
import sys

WAYPOINT_HEADER = b"Waypoint File Version 1.1\nWGS 84\nReserved 2\nReserved 3\n"
TRACK_HEADER = (b"Track File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
                b"0,2,255,Generated track,0,0,2,8421376\n0\n")

ASCII = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.&<>'\"()/#;:!?,"
UNICODE = "äöüßéèçñøåłžřЖщλΩ中文日本語€🏔🌲"
LETTERS = "abcdefghijklmnopqrstuvwxyz"


def ascii_word(rng, low, high):
    return "".join(rng.choice(ASCII) for _ in range(rng.randint(low, high))).encode()


def name(rng):
    """The bytes of one name, without blanks: what stands before its comma."""
    kind = rng.random()
    if kind < 0.55:
        return ascii_word(rng, 1, 20)
    if kind < 0.70:
        return "".join(rng.choice(UNICODE + LETTERS) for _ in range(rng.randint(1, 12))).encode()
    if kind < 0.78:  # bytes that are not UTF-8: each high byte before an ASCII letter
        return b"".join(bytes([rng.randint(0x80, 0xff)]) + rng.choice(LETTERS).encode()
                        for _ in range(rng.randint(1, 8)))
    if kind < 0.83:  # control characters that XML does not allow
        return b"".join(rng.choice(LETTERS).encode() + bytes([rng.choice([1, 2, 7, 8, 14, 27, 31])])
                        for _ in range(rng.randint(1, 4)))
    if kind < 0.88:
        return ascii_word(rng, 56, 90)
    if kind < 0.95:  # multi-byte characters across the 55-byte cut
        return "".join(rng.choice(UNICODE) for _ in range(rng.randint(20, 30))).encode()[:120]
    return b""


def real(rng, low, high):
    """A decimal real in [low, high], written in one of several ways."""
    value = rng.uniform(low, high)
    style = rng.random()
    if style < 0.03:
        value = rng.choice([low, high, 0.0])
    if style < 0.10:
        text = "%.*e" % (rng.randint(1, 9), value)
    else:
        text = "%.*f" % (rng.randint(0, 9), value)
    if not text.startswith("-") and rng.random() < 0.05:
        text = "+" + text
    return text


def space(rng):
    return rng.choice(["", "", "", " ", " ", "\t", "  "])


def altitude(rng):
    if rng.random() < 0.05:
        return rng.randint(-10_000_000, 10_000_000)
    return rng.randint(-1500, 30000)


def line_end(rng, line):
    """Pads one line in a hundred beyond 511 bytes; ends one in ten with CR LF."""
    if rng.random() < 0.01:
        line += b"," + b"x" * rng.randint(520, 900)
    return line + (b"\r\n" if rng.random() < 0.1 else b"\n")


def waypoint_line(rng, number):
    ints = lambda count: ",".join(space(rng) + str(rng.randint(-5, 65535)) for _ in range(count))
    rest = "%s%s,%s%s,%s%s,%s,,%s,%s%d" % (
        space(rng), real(rng, -90, 90), space(rng), real(rng, -180, 180),
        space(rng), real(rng, 40000, 50000), ints(5), ints(3), space(rng), altitude(rng))
    line = (b"%d," % number + name(rng) + b"," + rng.choice([b" ", b"\t"]) + rest.lstrip().encode()
            + b", 6, 0, 17")
    return line_end(rng, line)


def track_line(rng):
    line = "%s%s,%s%s,%s%d,%s%d,46123.%07d,12-Apr-26,07:12:39" % (
        space(rng), real(rng, -90, 90), space(rng), real(rng, -180, 180),
        space(rng), rng.randint(0, 1), space(rng), altitude(rng), rng.randint(0, 9999999))
    return line_end(rng, line.encode())


def generate(kind, lines, seed):
    rng = random.Random(seed)
    if kind == "wpt":
        return WAYPOINT_HEADER + b"".join(waypoint_line(rng, i + 1) for i in range(lines))
    return TRACK_HEADER + b"".join(track_line(rng) for _ in range(lines))


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("wpt", "plt"):
        sys.exit("usage: generate.py wpt|plt LINES SEED OUTPUT")
    with open(sys.argv[4], "wb") as out:
        out.write(generate(sys.argv[1], int(sys.argv[2]), int(sys.argv[3])))


if __name__ == "__main__":
    main()
