#!/usr/bin/python3
"""End-to-end cases: the real atapisw.exe under Wine, against Wine's own
registry and message boxes.

    e2e.py --list                 names of the cases
    e2e.py --case NAME --prefix DIR
    e2e.py --start-server|--stop-server --prefix DIR
"""

import argparse
import os
import subprocess
import sys
import tempfile

import winepilot
from winepilot import IDNO, IDOK, IDYES

TEXTS = winepilot.load_texts()
QUESTION = [IDYES, IDNO]
REPORT = [IDOK]

SYSTEM_ON = "4:00000000"
VENDOR_OFF = "4:04000000"
TYPICAL = {"atapi": "dword:4", "zyratapi": "dword:1"}
FLOPPY = os.path.join(winepilot.ROOT, "dist", "atapisw-2.0.img")
NT40 = "4.0.1381"  # the version Wine reports in the prefix: Windows NT 4.0


def box(text, buttons):
    return ("TitleText", text, buttons)


INTRO = box("IntroText", QUESTION)
RESTART = box("RestartPromptText", QUESTION)


def case(seeds, answers, boxes, atapi, vendor, restart=False, args=(), from_floppy=False):
    return dict(seeds=seeds, answers=answers, boxes=boxes, atapi=atapi, vendor=vendor,
                restart=restart, args=args, from_floppy=from_floppy)


# One run each, unless the case is a list of runs on the same machine.
CASES = {
    # Every way the program can go.
    "declined": case(TYPICAL, "N", [INTRO], "4:04000000", "4:01000000"),
    "system_key_missing": case({"atapi": "absent", "zyratapi": "dword:1"}, "Y",
                               [INTRO, box("AtapiMissingText", REPORT)], "nokey", "4:01000000"),
    "neither_key": case({"atapi": "absent", "zyratapi": "absent"}, "Y",
                        [INTRO, box("AtapiMissingText", REPORT)], "nokey", "nokey"),
    "vendor_key_missing": case({"atapi": "dword:4", "zyratapi": "absent"}, "Y",
                               [INTRO, box("VendorMissingText", REPORT)], "4:04000000", "nokey"),
    "vendor_start_missing": case({"atapi": "dword:4", "zyratapi": "nostart"}, "Y",
                                 [INTRO, box("VendorMissingText", REPORT)], "4:04000000",
                                 "novalue"),
    "vendor_disabled": case({"atapi": "dword:4", "zyratapi": "dword:4"}, "Y",
                            [INTRO, box("VendorDisabledText", REPORT)], "4:04000000", VENDOR_OFF),
    "switched_no_restart": case(TYPICAL, "YN", [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "switched_restart": case(TYPICAL, "YY", [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF,
                             restart=True),
    # The registry's edge cases.
    "vendor_boot_start": case({"atapi": "dword:4", "zyratapi": "dword:0"}, "YN",
                              [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "vendor_demand_start": case({"atapi": "dword:4", "zyratapi": "dword:3"}, "YN",
                                [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "vendor_0x104_is_disabled": case({"atapi": "dword:4", "zyratapi": "dword:0x104"}, "Y",
                                     [INTRO, box("VendorDisabledText", REPORT)], "4:04000000",
                                     "4:04010000"),
    "vendor_0x201_switches": case({"atapi": "dword:0x201", "zyratapi": "dword:0x201"}, "YN",
                                  [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "vendor_text_4_switches": case({"atapi": "dword:4", "zyratapi": "sz:4"}, "YN",
                                   [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "vendor_8_byte_binary_unreadable": case(
        {"atapi": "dword:4", "zyratapi": "binary:0100000000000000"}, "Y",
        [INTRO, box("VendorMissingText", REPORT)], "4:04000000", "3:0100000000000000"),
    "vendor_start_without_data": case({"atapi": "dword:4", "zyratapi": "data:4:"}, "YN",
                                      [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "system_start_missing_is_created": case({"atapi": "nostart", "zyratapi": "dword:1"}, "YN",
                                            [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
    "command_line_changes_nothing": case(TYPICAL, "YN", [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF,
                                         args=("/restart", "/force", "zyratapi", "4")),
    "second_run_finds_vendor_disabled": [
        case(TYPICAL, "YN", [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF),
        case({}, "Y", [INTRO, box("VendorDisabledText", REPORT)], SYSTEM_ON, VENDOR_OFF),
    ],
    # The release: the copy on the floppy image, as an administrator runs it.
    "from_floppy_image": case(TYPICAL, "YN", [INTRO, RESTART], SYSTEM_ON, VENDOR_OFF,
                              from_floppy=True),
}


def check_run(prefix, expected):
    failures = []

    def expect(ok, what):
        print(("  ok   " if ok else "  FAIL ") + what)
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as tmp:
        exe = winepilot.TOOL_EXE
        if expected["from_floppy"]:
            exe = os.path.join(tmp, "ATAPISW.EXE")
            subprocess.run(["mcopy", "-n", "-i", FLOPPY, "::ATAPISW.EXE", exe], check=True,
                           env=dict(os.environ, MTOOLSRC="/dev/null"))
        r = winepilot.run(prefix, seeds=expected["seeds"], answers=expected["answers"],
                          args=expected["args"], exe=exe)
    expect(r.acp == 932, "Wine's ANSI code page is 932 (%d)" % r.acp)
    expect(r.windows_version == NT40, "Wine is Windows %s (%s)" % (NT40, r.windows_version))
    expect(not r.errors, "pilot reported no errors %s" % r.errors)
    shown = [(b.caption, b.text, b.button_ids) for b in r.boxes]
    wanted = [(TEXTS[c], TEXTS[t], buttons) for c, t, buttons in expected["boxes"]]
    names = {v: k for k, v in TEXTS.items()}
    print("  boxes: %s" % ", ".join("%s/%s %s" % (names.get(c, c), names.get(t, t), ids)
                                    for c, t, ids in shown))
    expect(len(shown) == len(wanted), "%d boxes shown (%d)" % (len(wanted), len(shown)))
    for i, (got, want) in enumerate(zip(shown, wanted), 1):
        expect(got[0] == want[0], "box %d caption bytes" % i)
        expect(got[1] == want[1], "box %d text bytes%s" % (
            i, "" if got[1] == want[1] else " (got %r)" % got[1]))
        expect(got[2] == want[2], "box %d buttons %s (%s)" % (i, want[2], got[2]))
    styles = [4 if buttons == QUESTION else 0 for _, _, buttons in expected["boxes"]]
    expect(r.box_calls == [(0, style) for style in styles],
           "MessageBoxA with no owner, MB_YESNO or MB_OK alone (%s)" % r.box_calls)
    expect(r.exit_code == 0, "exit status 0 (%s)" % r.exit_code)
    expect(r.starts.get("atapi") == expected["atapi"],
           "atapi Start %s (%s)" % (expected["atapi"], r.starts.get("atapi")))
    expect(r.starts.get("zyratapi") == expected["vendor"],
           "zyratapi Start %s (%s)" % (expected["vendor"], r.starts.get("zyratapi")))
    expect(r.restart_requested == expected["restart"],
           "restart %srequested (wineboot runs: %s)" % ("" if expected["restart"] else "not ",
                                                         r.wineboot))
    expect(r.exit_windows == ([(2, 0)] if expected["restart"] else []),
           "ExitWindowsEx(EWX_REBOOT, 0) %s (%s)" % ("once" if expected["restart"] else "never",
                                                      r.exit_windows))
    for cmdline in r.wineboot:
        if "--end-session" in cmdline:
            flags = set(cmdline.split()[1:])
            expect(flags == {"--end-session"},
                   "a plain restart: no --shutdown, --kill or --force (%s)" % cmdline)
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--case")
    ap.add_argument("--prefix")
    ap.add_argument("--start-server", action="store_true")
    ap.add_argument("--stop-server", action="store_true")
    opts = ap.parse_args()
    if opts.list:
        print(";".join(CASES))
        return 0
    if opts.start_server:
        winepilot.start_server(opts.prefix)
        ver = winepilot.windows_version(opts.prefix)
        print("ver: %s" % ver)
        return 0 if ver.endswith(" " + NT40) else 1
    if opts.stop_server:
        winepilot.stop_server(opts.prefix)
        return 0
    runs = CASES[opts.case]
    failures = []
    for n, expected in enumerate(runs if isinstance(runs, list) else [runs], 1):
        print("%s, run %d" % (opts.case, n))
        failures += check_run(opts.prefix, expected)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
