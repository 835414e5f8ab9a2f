#!/usr/bin/env python3
"""Counts the instructions per line that PROGRAM takes on LINES generated
lines of KIND (default 200,000) and fails above the limit for KIND in
LIMITS. Callgrind counts one run on the whole input and one on its header
alone; their difference over LINES leaves start-up out, and does not move
with the other work on the machine as a wall time does.

    instructions.py GENERATE PROGRAM KIND LIMITS [LINES]

Exits with 77 (skipped) where valgrind is not installed.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def limit_for(kind, limits):
    with open(limits) as lines:
        for line in lines:
            words = line.split("#")[0].split()
            if words and words[0] == kind:
                return int(words[1])
    sys.exit("instructions.py: no limit for %s in %s" % (kind, limits))


def instructions(program, path):
    """The instructions callgrind counts in one run of PROGRAM on PATH."""
    run = subprocess.run(
        ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", program, path],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    found = re.search(r"I\s+refs:\s+([\d,]+)", run.stderr)
    if run.returncode != 0 or not found:
        sys.exit("instructions.py: %s %s failed under callgrind:\n%s" % (program, path, run.stderr))
    return int(found.group(1).replace(",", ""))


def main(generate, program, kind, limits, lines="200000"):
    if not shutil.which("valgrind"):
        print("SKIPPED: valgrind is not installed (Debian package: valgrind)")
        sys.exit(SKIP)
    limit = limit_for(kind, limits)
    with tempfile.TemporaryDirectory(prefix="trove-perf.") as scratch:
        counts = []
        for count in (lines, "0"):
            path = os.path.join(scratch, "%s.%s" % (count, kind))
            with open(path, "wb") as out:
                subprocess.run([generate, kind, count], stdout=out, check=True)
            counts.append(instructions(program, path))
    per_line = (counts[0] - counts[1]) / int(lines)
    name = os.path.basename(program)
    print("%s %s: %.1f instructions per line (limit %d)" % (name, kind, per_line, limit))
    if per_line > limit:
        sys.exit("%s %s: %.1f instructions per line, above the limit of %d in %s"
                 % (name, kind, per_line, limit, limits))


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        sys.exit("usage: instructions.py GENERATE PROGRAM KIND LIMITS [LINES]")
    main(*sys.argv[1:])
