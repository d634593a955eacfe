#!/usr/bin/python3
"""Checks the release package: its three files, the executable as built,
a README that Notepad on NT 4.0 shows (code page 932, CR LF line ends) and
checksums that match."""

import hashlib
import sys
import zipfile

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def main(zip_path, exe_path):
    with zipfile.ZipFile(zip_path) as z:
        names = sorted(z.namelist())
        check(names == ["ATAPISW.EXE", "README.TXT", "SHA256SUMS"], "files %s" % names)
        files = {n: z.read(n) for n in names}

    exe = files.get("ATAPISW.EXE", b"")
    check(exe == open(exe_path, "rb").read(), "ATAPISW.EXE is the built executable")

    readme = files.get("README.TXT", b"")
    try:
        text = readme.decode("cp932")
        check(True, "README.TXT is code page 932")
    except UnicodeDecodeError as e:
        text = ""
        check(False, "README.TXT is code page 932 (%s)" % e)
    check(readme.endswith(b"\r\n") and readme.count(b"\n") == readme.count(b"\r\n"),
          "README.TXT has CR LF line ends only")
    for word in ["REDEVUZA.ROZ", "ATAPI.SYS", "Services\\atapi", "Services\\zyratapi", "Start",
                 "Service Pack 4", "Administrator", "regedt32", "元に戻す"]:
        check(word in text, "README.TXT mentions %s" % word)

    sums = files.get("SHA256SUMS", b"").decode("ascii").splitlines()
    expected = ["%s  %s" % (hashlib.sha256(files[n]).hexdigest(), n)
                for n in ["ATAPISW.EXE", "README.TXT"] if n in files]
    check(sums == expected, "SHA256SUMS matches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
