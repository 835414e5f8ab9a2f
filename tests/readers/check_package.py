#!/usr/bin/env python3
"""Makes the .tar.gz and the .deb with cpack in a fresh folder and checks the
licence wherever it belongs: LICENSE is the MIT licence with its holder, the
README names it, and both packages hold it in their copyright file. With
--lintian, runs lintian on the .deb that the first form made in WORKDIR: it
must report no error and no warning.

    check_package.py CPACK BUILD_DIR WORKDIR
    check_package.py --lintian WORKDIR

Run from the top of the source. Exits with 77, the skip status, when a tool
that building or checking the .deb needs is missing, or with --lintian when
there is no .deb.
"""

import io
import os
import re
import shutil
import subprocess
import sys
import tarfile

SKIP = 77
TOOLS = {"dpkg-deb": "dpkg", "dpkg-shlibdeps": "dpkg-dev", "file": "file"}
HOLDER = "2026 The pintrove authors"
TERMS = """
Permission is hereby granted, free of charge, to any person obtaining a copy of this software and
associated documentation files (the "Software"), to deal in the Software without restriction,
including without limitation the rights to use, copy, modify, merge, publish, distribute,
sublicense, and/or sell copies of the Software, and to permit persons to whom the Software is
furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in all copies or
substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT
NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND
NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES
OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN
CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.
"""
COPYRIGHT = "usr/share/doc/trove/copyright"


def words(text):
    return " ".join(text.split())


def licence_problems(where, text):
    """What is wrong with LICENSE or a package's machine-readable copyright
    file, whose continuation lines start with a blank and whose empty lines
    are written as a dot."""
    if where == "LICENSE":
        return [] if words(text) == words("MIT License\nCopyright (c) " + HOLDER + TERMS) else [
            "LICENSE is not the MIT licence of " + HOLDER]
    text = re.sub(r"^ \.$", "", text, flags=re.M)
    problems = []
    if not re.search("^Copyright: %s$" % re.escape(HOLDER), text, re.M):
        problems.append("%s: no Copyright line naming the holder" % where)
    if not re.search(r"^License: Expat$", text, re.M) or words(TERMS) not in words(text):
        problems.append("%s: not the MIT (Expat) licence terms" % where)
    return problems


def run(command):
    """The standard output of command, as bytes; fails when the command does."""
    done = subprocess.run(command, capture_output=True)
    if done.returncode != 0:
        sys.exit("%s failed with status %d:\n%s" % (
            " ".join(command), done.returncode, (done.stdout + done.stderr).decode(errors="replace")))
    return done.stdout


def member(archive, suffix):
    """The text of the one file of a tar archive whose name ends in suffix."""
    names = [m for m in archive.getmembers() if m.name.endswith("/" + suffix)]
    return archive.extractfile(names[0]).read().decode() if len(names) == 1 else ""


def lintian_problems(deb):
    """Every error and warning lintian reports, and its status when not 0."""
    done = subprocess.run(["lintian", "--fail-on", "error,warning", deb],
                          capture_output=True, text=True)
    tags = [line for line in done.stdout.splitlines() if re.match(r"[EW]: ", line)]
    if done.returncode != 0:
        tags.append("lintian exit status %d\n%s" % (done.returncode, done.stderr))
    return tags


def skip_unless(tools, deb=True):
    missing = sorted({package for tool, package in tools.items() if not shutil.which(tool)})
    if missing or not deb:
        print("SKIPPED: " + ("not installed: %s" % ", ".join(missing) if missing else "no .deb"))
        sys.exit(SKIP)


def check_lintian(workdir):
    debs = [os.path.join(workdir, n) for n in os.listdir(workdir) if n.endswith(".deb")] \
        if os.path.isdir(workdir) else []
    skip_unless({"lintian": "lintian"}, len(debs) == 1)
    problems = lintian_problems(debs[0])
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


def main():
    if sys.argv[1] == "--lintian":
        check_lintian(sys.argv[2])
    cpack, build, workdir = sys.argv[1:4]
    skip_unless(TOOLS)
    shutil.rmtree(workdir, ignore_errors=True)
    run([cpack, "--config", os.path.join(build, "CPackConfig.cmake"), "-B", workdir,
         "-G", "TGZ;DEB"])
    made = {os.path.splitext(n)[1]: os.path.join(workdir, n) for n in os.listdir(workdir)}
    deb, tgz = made[".deb"], made[".gz"]

    with open("LICENSE") as f:
        problems = licence_problems("LICENSE", f.read())
    with open("README.md") as f:
        section = re.search(r"^## Licence\n(.*?)(?=^## |\Z)", f.read(), re.S | re.M)
    if not section or "MIT" not in section.group(1) or "LICENSE" not in section.group(1):
        problems.append("README.md: no Licence section naming the MIT licence and LICENSE")
    with tarfile.open(fileobj=io.BytesIO(run(["dpkg-deb", "--fsys-tarfile", deb]))) as archive:
        problems += licence_problems(".deb", member(archive, COPYRIGHT))
    with tarfile.open(tgz) as archive:
        problems += licence_problems(".tar.gz", member(archive, COPYRIGHT[len("usr/"):]))
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
