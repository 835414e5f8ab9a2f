#!/usr/bin/env python3
"""Installs the build into a fresh prefix and checks what lands there: both
programs, which run, and both manual pages, compressed, which man finds by
name.

    check_install.py CMAKE BUILD_DIR PREFIX
"""

import os
import shutil
import subprocess
import sys

PROGRAMS = {"pintrove": "file.wpt", "pathtrove": "file.plt"}


def main():
    cmake, build, prefix = sys.argv[1:4]
    shutil.rmtree(prefix, ignore_errors=True)
    subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True,
                   stdout=subprocess.DEVNULL)
    failed = []
    for program, input_name in PROGRAMS.items():
        binary = os.path.join(prefix, "bin", program)
        page = os.path.join(prefix, "share", "man", "man1", program + ".1.gz")
        if not os.access(binary, os.X_OK):
            failed.append("no program " + binary)
        else:
            done = subprocess.run([binary], capture_output=True, text=True)
            usage = "Usage: %s %s [file.kml]\n" % (binary, input_name)
            if done.returncode != 1 or done.stderr != usage:
                failed.append("%s without arguments: status %d, %r" % (
                    binary, done.returncode, done.stderr))
        if not os.path.isfile(page):
            failed.append("no manual page " + page)
        elif shutil.which("man"):
            env = dict(os.environ, MANPATH=os.path.join(prefix, "share", "man"))
            done = subprocess.run(["man", "-w", program], capture_output=True, text=True, env=env)
            if os.path.realpath(done.stdout.strip()) != os.path.realpath(page):
                failed.append("man -w %s gives %r, not %s" % (program, done.stdout, page))
    for f in failed:
        print(f)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
