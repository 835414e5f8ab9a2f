#!/usr/bin/env python3
"""Checks the Windows release archive: one top folder holding exactly both
programs, convert.cmd, the README, the licence and both manual pages as
HTML; the programs are Windows executables, the pages are whole HTML
documents, the README, the licence and convert.cmd are those of the source,
and convert.cmd has the CRLF line ends that cmd reads reliably.

    check_zip.py ZIP

Run from the top of the source.
"""

import sys
import zipfile

PROGRAMS = ["pintrove", "pathtrove"]
SOURCES = {"README.md": "README.md", "LICENSE": "LICENSE", "convert.cmd": "windows/convert.cmd"}
FILES = set(SOURCES) | {p + ".exe" for p in PROGRAMS} | {p + ".html" for p in PROGRAMS}


def problems(archive):
    names = [n for n in archive.namelist() if not n.endswith("/")]
    tops = {n.split("/")[0] for n in names}
    if len(tops) != 1 or any(n.count("/") != 1 for n in names):
        return ["not one top folder with the files right in it: %s" % sorted(names)]
    top = tops.pop() + "/"
    found = {n[len(top):] for n in names}
    if found != FILES:
        return ["missing: %s; unexpected: %s" % (sorted(FILES - found), sorted(found - FILES))]
    read = lambda name: archive.read(top + name)
    wrong = [p + ".exe is not a Windows program" for p in PROGRAMS
             if not read(p + ".exe").startswith(b"MZ")]
    wrong += [p + ".html is not its manual page" for p in PROGRAMS
              if b"<title>%s(1)</title>" % p.upper().encode() not in read(p + ".html")
              or not read(p + ".html").rstrip().endswith(b"</html>")]
    for name, source in SOURCES.items():
        with open(source, "rb") as f:
            if read(name) != f.read():
                wrong.append(name + " differs from the source's")
    script = read("convert.cmd")
    if script.count(b"\n") != script.count(b"\r\n"):
        wrong.append("convert.cmd has line ends without CR")
    return wrong


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_zip.py ZIP")
    with zipfile.ZipFile(sys.argv[1]) as archive:
        found = problems(archive)
    for p in found:
        print("%s: %s" % (sys.argv[1], p))
    if not found:
        print("%s: %s" % (sys.argv[1], ", ".join(sorted(FILES))))
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
