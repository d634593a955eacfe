#!/usr/bin/python3
"""Checks the release in DIST by reading every artifact back with a reader
that did not write it (Python's zipfile; mtools and fsck.fat for the floppy
image made by mkfs.fat; isoinfo from cdrkit for the CD image made by
xorriso) and comparing the bytes with the build.

    check_dist.py DIST EXE
"""

import datetime
import hashlib
import os
import re
import subprocess
import sys
import zipfile

NAME = "atapisw-2.0"
MEDIA_FILES = ["ATAPISW.EXE", "README.TXT"]
FLOPPY_BYTES = 1474560
# What minfo reads from the boot sector of a 3.5" 1.44 MB FAT12 floppy.
FLOPPY_BOOT_SECTOR = {"sector size": "512 bytes", "cluster size": "1 sectors",
                      "fats": "2", "max available root directory slots": "224",
                      "small size": "2880 sectors", "media descriptor byte": "0xf0",
                      "sectors per fat": "9", "sectors per track": "18", "heads": "2",
                      "disk type": '"FAT12   "'}
README_WORDS = ["REDEVUZA.ROZ", "ATAPI.SYS", "Services\\atapi", "Services\\zyratapi", "Start",
                "Service Pack 4", "Administrator", "regedt32", "元に戻す",
                "前回正常起動時の構成", "スペース", "ログオン", "フロッピー", "CD", "SHA256SUMS",
                "sha256sum"]


def run(*cmd):
    env = dict(os.environ, MTOOLSRC="/dev/null", LC_ALL="C")
    return subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          check=False).stdout


def source_date_epoch(root):
    """The time every timestamp must carry, by the rule make-dist.sh uses."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    return int(subprocess.check_output(["git", "-C", root, "log", "-1", "--format=%ct"]))


def sums(files):
    return ["%s  %s" % (hashlib.sha256(data).hexdigest(), name) for name, data in files]


def floppy(img):
    """What mtools reads back from the floppy image."""
    info = dict(re.findall(r"^([a-z ]+?)[:=] ?(.*)$", run("minfo", "-i", img, "::").decode(),
                           re.M))
    # "ATAPISW  EXE      5120 2026-12-09   7:01  [long name]"
    entries = re.findall(r"^(\S+) +(\S*) +\d+ (\d{4}-\d\d-\d\d) +(\d+):(\d\d) *(.*)$",
                         run("mdir", "-i", img, "::").decode(), re.M)
    return dict(
        info=info,
        label=run("mlabel", "-i", img, "-s", "::").decode().strip(),
        names=["%s.%s" % (base, ext) for base, ext, *_ in entries],
        long_names=[e[5] for e in entries if e[5]],
        times={"%s %02d:%s" % (date, int(h), m) for _, _, date, h, m, _ in entries},
        files={n: run("mcopy", "-i", img, "::" + n, "-") for n in MEDIA_FILES},
        fsck=subprocess.run(["fsck.fat", "-n", img], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT),
    )


def cd(iso):
    """What isoinfo reads back from the CD image."""
    pvd = run("isoinfo", "-d", "-debug", "-i", iso).decode()
    listing = run("isoinfo", "-l", "-i", iso).decode()
    names = re.findall(r"\]  (\S+) $", listing, re.M)
    return dict(
        pvd=pvd,
        names=[n for n in names if n not in (".", "..")],
        dates=set(re.findall(r"^(?:Creation|Modification) Date: +(.*)$", pvd, re.M)),
        files={n: run("isoinfo", "-i", iso, "-x", "/%s;1" % n) for n in MEDIA_FILES},
    )


def main(dist, exe_path):
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
    exe = open(exe_path, "rb").read()
    epoch = source_date_epoch(root)
    when = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    path = {ext: os.path.join(dist, "%s.%s" % (NAME, ext))
            for ext in ("zip", "img", "iso", "buildinfo")}

    with zipfile.ZipFile(path["zip"]) as z:
        entries = z.infolist()
        zipped = {e.filename: z.read(e) for e in entries}
    readme = zipped.get("README.TXT", b"")
    try:
        text = readme.decode("cp932")
    except UnicodeDecodeError:
        text = ""
    # DOS times have two-second steps; zip rounds odd seconds up.
    dos_time = (when + datetime.timedelta(seconds=epoch % 2)).timetuple()[:6]
    fat = floppy(path["img"])
    iso = cd(path["iso"])
    images = {e: open(path[e], "rb").read() for e in ("zip", "img", "iso")}
    buildinfo = open(path["buildinfo"], encoding="utf-8").read()
    head = subprocess.check_output(["git", "-C", root, "rev-parse", "HEAD"], text=True).strip()
    packages = re.findall(r"^ (\S+) \(= (.*)\)$", buildinfo, re.M)


    missing = [w for w in README_WORDS if w not in text]
    on_media = {n: zipped.get(n) for n in MEDIA_FILES}
    image_sums = sums(("%s.%s" % (NAME, e), images[e]) for e in ("zip", "img", "iso"))
    checks = [
        ("zip", "files ATAPISW.EXE, README.TXT, SHA256SUMS",
         sorted(zipped) == MEDIA_FILES + ["SHA256SUMS"]),
        ("zip", "ATAPISW.EXE is the built executable",
         zipped.get("ATAPISW.EXE") == exe),
        ("zip", "README.TXT is code page 932 with CR LF line ends only",
         text and readme.endswith(b"\r\n") and readme.count(b"\n") == readme.count(b"\r\n")),
        ("zip", "README.TXT names its %d key words%s" % (
            len(README_WORDS), "; missing: %s" % ", ".join(missing) if missing else ""),
         not missing),
        ("zip", "SHA256SUMS holds the sums of the two files",
         zipped.get("SHA256SUMS", b"").decode().splitlines() == sums(on_media.items())),
        ("zip", "entries carry SOURCE_DATE_EPOCH (%s) and no extra fields" % when,
         all(e.date_time == dos_time and not e.extra for e in entries)),
        ("img", "exactly %d bytes" % FLOPPY_BYTES,
         len(images["img"]) == FLOPPY_BYTES),
        ("img", "a 1.44 MB FAT12 boot sector",
         all(fat["info"].get(k) == v for k, v in FLOPPY_BOOT_SECTOR.items())),
        ("img", "the boot sector opens with a jump (EB or E9), as FAT drivers expect",
         images["img"][:1] in (b"\xeb", b"\xe9")),
        ("img", "volume label ATAPISW",
         fat["label"] == "Volume label is ATAPISW"),
        ("img", "volume serial %08X" % epoch,
         fat["info"].get("serial number") == "%08X" % epoch),
        ("img", "root holds ATAPISW.EXE and README.TXT, 8.3 names only",
         fat["names"] == MEDIA_FILES and not fat["long_names"]),
        ("img", "the files are the zip's",
         fat["files"] == on_media),
        ("img", "the files carry SOURCE_DATE_EPOCH",
         fat["times"] == {when.strftime("%Y-%m-%d %H:%M")}),
        ("img", "fsck.fat finds no fault",
         fat["fsck"].returncode == 0),
        ("iso", "volume id ATAPISW",
         "\nVolume id: ATAPISW\n" in iso["pvd"]),
        ("iso", "plain ISO 9660: no Joliet, no Rock Ridge",
         "NO Joliet present" in iso["pvd"] and "NO Rock Ridge present" in iso["pvd"]),
        ("iso", "root holds ATAPISW.EXE;1 and README.TXT;1 (level 1 names)",
         iso["names"] == [n + ";1" for n in MEDIA_FILES]),
        ("iso", "the files are the zip's",
         iso["files"] == on_media),
        ("iso", "volume dates are SOURCE_DATE_EPOCH",
         iso["dates"] == {when.strftime("%Y %m %d %H:%M:%S.00")}),
        ("SHA256SUMS", "the sums of the zip and both images",
         open(os.path.join(dist, "SHA256SUMS")).read().splitlines() == image_sums),
        ("buildinfo", "commit %s" % head,
         re.search(r"^Commit: %s( \(with uncommitted changes\))?$" % head, buildinfo, re.M)),
        ("buildinfo", "SOURCE_DATE_EPOCH %d" % epoch,
         re.search(r"^SOURCE_DATE_EPOCH: %d " % epoch, buildinfo, re.M)),
        ("buildinfo", "the installed version of each of its %d packages" % len(packages),
         len(packages) >= 13 and all(
             v == run("dpkg-query", "-W", "-f=${Version}", p).decode() for p, v in packages)),
        ("buildinfo", "the sums of the exe, the zip and both images",
         all(s in buildinfo for s in sums([("atapisw.exe", exe)]) + image_sums)),
    ]

    failed = 0
    for artifact, what, ok in checks:
        print("%s %-10s %s" % ("ok  " if ok else "FAIL", artifact, what))
        failed += not ok
    if fat["fsck"].returncode != 0:
        print(fat["fsck"].stdout.decode(errors="replace"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
