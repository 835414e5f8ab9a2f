#!/usr/bin/env python3
"""Renders each manual page with every formatter there is, mandoc's linter
and man with groff's warnings, and fails on any complaint. Then checks that
each page's DIAGNOSTICS section lists every message its program gives.

    check_man.py PAGE...

Exits with 77, the skip status, when neither mandoc nor man is installed.
"""

import os
import re
import shutil
import subprocess
import sys

SKIP = 77
MESSAGES = ["Usage: {program} {input} [file.kml]",
            "{program}: Error opening {input}",
            "{program}: Error creating file.kml",
            "{program}: Error reading {input}",
            "{program}: Error writing file.kml",
            "{program}: Error writing standard output"]
INPUTS = {"pintrove": "file.wpt", "pathtrove": "file.plt"}


def complaints(command, env, stdout):
    """What `command` says, with its exit status when that is not 0."""
    done = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE, env=env)
    text = ((done.stdout or b"") + done.stderr).decode(errors="replace").strip()
    if done.returncode != 0:
        text += "\n(exit status %d)" % done.returncode
    return text


def rendered(page, env):
    """The page as plain text, by man or else by mandoc."""
    command = (["man", "-E", "UTF-8", "-l", page] if shutil.which("man")
               else ["mandoc", "-T", "utf8", page])
    done = subprocess.run(command, capture_output=True, env=env, check=True)
    return re.sub(r".\x08", "", done.stdout.decode())


def main():
    pages = sys.argv[1:]
    have_mandoc, have_man = shutil.which("mandoc"), shutil.which("man")
    if not (have_mandoc or have_man):
        print("SKIPPED: neither mandoc nor man is installed")
        sys.exit(SKIP)
    env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
    failed = False
    for page in pages:
        found = []
        if have_mandoc:  # the linter reports on standard output
            found.append(complaints(["mandoc", "-T", "lint", "-W", "warning", page], env,
                                    subprocess.PIPE))
        if have_man:  # groff warns on standard error
            found.append(complaints(["man", "--warnings", "-E", "UTF-8", "-l", page], env,
                                    subprocess.DEVNULL))
        for text in filter(None, found):
            print("%s:\n%s" % (page, text))
            failed = True
        failed |= not lists_messages(page, rendered(page, env))
    sys.exit(1 if failed else 0)


def lists_messages(page, text):
    program = os.path.splitext(os.path.basename(page))[0]
    section = re.search(r"^DIAGNOSTICS\n(.*?)^\S", text, re.S | re.M)
    body = " ".join(section.group(1).split()) if section else ""
    missing = [m for m in (t.format(program=program, input=INPUTS[program]) for t in MESSAGES)
               if m not in body]
    for m in missing:
        print("%s: DIAGNOSTICS does not list %r" % (page, m))
    return not missing


if __name__ == "__main__":
    main()
