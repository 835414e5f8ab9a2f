#!/usr/bin/env python3
"""Writes a waypoint (.wpt) or track (.plt) file whose altitudes cover the
whole range of 32-bit integers, the places where turning feet into metres
is delicate above all:

- every altitude from -1000 to 1000 feet, and the first and last thousand
  of the range (INT32_MIN and INT32_MAX included);
- every altitude from 27,500,000 to 27,600,000 feet, where the metres value
  passes 2^23 and a binary32 step becomes a whole metre;
- every altitude whose product with 0.3048, rounded to binary64, lies
  exactly halfway between two binary32 values: rounding that product once
  more goes the wrong way for about half of them. All of them in the 32-bit
  range are multiples of 625 (a sweep of the whole range finds no other);
- a sweep of the whole range in steps of 4099 feet.

Latitude and longitude vary from line to line as well. A waypoint file
takes every eighth altitude of that list, as its lines are long.

    altitudes.py wpt|plt > FILE
"""

import struct
import sys

INT32_MIN, INT32_MAX = -2**31, 2**31 - 1


def halfway_between_floats(x):
    """Whether the binary64 `x` lies exactly halfway between two binary32
    values: of the 29 bits binary32 lacks, a one and 28 zeros."""
    bits = struct.unpack("<Q", struct.pack("<d", x))[0]
    return bits & (2**29 - 1) == 2**28


def altitudes():
    yield from range(-1000, 1001)
    yield from range(INT32_MIN, INT32_MIN + 1000)
    yield from range(INT32_MAX - 999, INT32_MAX + 1)
    yield from range(27_500_000, 27_600_000)
    first = INT32_MIN // 625 * 625 + 625
    yield from (f for f in range(first, INT32_MAX, 625) if halfway_between_floats(f * 0.3048))
    yield from range(INT32_MIN + 7, INT32_MAX, 4099)


def micro(value):
    """`value` millionths as a decimal with six places."""
    sign = "-" if value < 0 else ""
    return "%s%d.%06d" % (sign, abs(value) // 1000000, abs(value) % 1000000)


def main():
    kind = sys.argv[1] if len(sys.argv) == 2 else ""
    if kind not in ("wpt", "plt"):
        sys.exit("usage: altitudes.py wpt|plt > FILE")
    out = sys.stdout
    if kind == "wpt":
        out.write("Waypoint File Version 1.1\nWGS 84\nReserved 2\nReserved 3\n")
    else:
        out.write("Track File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
                  "0,2,255,Altitudes,0,0,2,8421376\n0\n")
    for n, feet in enumerate(altitudes()):
        latitude = micro(n * 7919 % 180_000_001 - 90_000_000)
        longitude = micro(n * 104729 % 360_000_001 - 180_000_000)
        if kind == "plt":
            out.write("%s,%s,0,%d\n" % (latitude, longitude, feet))
        elif n % 8 == 0:
            out.write("%d,Altitude_%d, %s, %s,46123.5, 0, 1, 3, 0, 65535,,0,0,0, %d, 6, 0, 17\n"
                      % (n, feet, latitude, longitude, feet))


if __name__ == "__main__":
    main()
