#!/usr/bin/python3
"""Builds the executable and the release twice, each from a fresh clone of
the current commit under different conditions (clock, time zone, umask,
locale, file times), and checks that every artifact comes out byte for
byte the same, and the same as the project's own build when its tree
holds no uncommitted changes.

    check_reproducible.py WORKDIR
"""

import hashlib
import os
import shutil
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
ARTIFACTS = ["build/win32/atapisw.exe", "dist/atapisw-2.0.zip", "dist/atapisw-2.0.img",
             "dist/atapisw-2.0.iso", "dist/SHA256SUMS", "dist/atapisw-2.0.buildinfo"]

# clang-format off
CONDITIONS = [
    # name     clock    TZ       umask  locale          time of every checked-out file
    ("utc",    "",      "UTC0",  "022", "C.UTF-8",      None),
    ("tokyo",  "+400d", "JST-9", "077", "ja_JP.UTF-8",  "2001-02-03 04:05:06"),
]
# clang-format on

BUILD = ("cmake --preset win32 >/dev/null && cmake --build --preset win32 --target atapisw "
         ">/dev/null && bash tools/make-dist.sh >/dev/null")


def build(workdir, name, clock, tz, umask, locale, file_time):
    tree = os.path.join(workdir, name)
    shutil.rmtree(tree, ignore_errors=True)
    env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
    env.update(TZ=tz, LANG=locale, LC_ALL=locale, NO_FAKE_STAT="1")
    script = "umask %s && git clone -q --no-hardlinks %s %s && cd %s" % (umask, ROOT, tree, tree)
    if file_time:
        script += " && find . -path ./.git -prune -o -exec touch -h -d '%s' {} +" % file_time
    # faketime moves the clock of every program of the build (not the file
    # times that stat reports, which a clock does not change).
    script += " && " + ("faketime -f '%s' bash -c '%s'" % (clock, BUILD) if clock else BUILD)
    subprocess.run(["bash", "-c", script], env=env, check=True, stdin=subprocess.DEVNULL)
    return tree


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main(workdir):
    trees = [build(workdir, *c) for c in CONDITIONS]
    clean = not subprocess.check_output(["git", "-C", ROOT, "status", "--porcelain"])
    if clean:
        trees.append(ROOT)
    else:
        print("the project's own build is not compared: its tree has uncommitted changes")
    names = [c[0] for c in CONDITIONS] + (["project"] if clean else [])
    failed = 0
    for artifact in ARTIFACTS:
        sums = [digest(os.path.join(t, artifact)) for t in trees]
        same = len(set(sums)) == 1
        failed += not same
        print("%s %-27s %s" % ("ok  " if same else "FAIL", artifact, "  ".join(
            "%s=%s" % (n, s[:16]) for n, s in zip(names, sums))))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
