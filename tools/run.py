#!/usr/bin/python3
"""Runs the real atapisw.exe under Wine on a machine of its own: a private
prefix seeded, on first use, as a typical NT 4.0 machine on the vendor
driver (zyratapi Start 1, atapi Start 4).

Each box the tool shows is printed here, and answered here: y or n, Enter
for the box's default button. With no terminal on standard input the
answers come from ANSWERS (default "YN": switch, do not restart). With
RUN_WINDOWS=1 and a DISPLAY the real windows are shown and answered there.

    run.py            run the tool
    run.py --reset    seed the default machine again
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import winepilot  # noqa: E402
from winepilot import IDNO, IDOK, IDYES  # noqa: E402

PREFIX = os.path.join(winepilot.ROOT, "build", "wine", "run")
SEEDED = os.path.join(PREFIX, ".seeded")
DEFAULT_MACHINE = {"atapi": "dword:4", "zyratapi": "dword:1"}
TYPES = {0: "REG_NONE", 1: "REG_SZ", 3: "REG_BINARY", 4: "REG_DWORD"}


def describe(value):
    if value in (None, "nokey"):
        return "(no key)"
    if value == "novalue":
        return "(no Start value)"
    kind, _, data = value.partition(":")
    raw = bytes.fromhex(data)
    name = TYPES.get(int(kind), "type %s" % kind)
    if int(kind) == 4 and len(raw) == 4:
        return "%d (%s)" % (int.from_bytes(raw, "little"), name)
    return "%s %s" % (name, raw.hex(" ") or "(no data)")


def show(box):
    print()
    print("+-- %s" % box.caption.decode("cp932"))
    for line in box.text.decode("cp932").split("\n"):
        print("|  " + line)
    print("|")
    print("+-- " + "   ".join("[%s]" % label.replace("&", "") for _, label in box.buttons))


def answer_from_terminal(box):
    show(box)
    if box.button_ids == [IDOK]:
        input("Enter: OK ")
        return IDOK
    while True:
        reply = input("y/n (Enter: %s) " % box.buttons[0][1].replace("&", "")).strip().lower()
        if reply in ("", "y", "yes"):
            return IDYES  # the first button, Yes, is the default
        if reply in ("n", "no"):
            return IDNO


def scripted(answers):
    pending = list(answers.upper())

    def answer(box):
        show(box)
        if box.button_ids == [IDOK]:
            print("-> OK")
            return IDOK
        choice = pending.pop(0) if pending else "N"
        print("-> %s (from ANSWERS)" % ("Yes" if choice == "Y" else "No"))
        return IDYES if choice == "Y" else IDNO

    return answer


def main():
    winepilot.make_prefix(PREFIX)
    if "--reset" in sys.argv[1:]:
        r = winepilot.run(PREFIX, seeds=DEFAULT_MACHINE, exe=None)
        open(SEEDED, "w").close()
        print("The machine is on the vendor driver again: atapi Start %s, zyratapi Start %s." %
              (describe(r.before.get("atapi")), describe(r.before.get("zyratapi"))))
        return 0 if not r.errors else 1

    seeds = {} if os.path.exists(SEEDED) else DEFAULT_MACHINE
    windows = os.environ.get("RUN_WINDOWS") == "1" and os.environ.get("DISPLAY")
    if windows:
        print("Showing the real windows on %s; answer them there." % os.environ["DISPLAY"])
        r = winepilot.run(PREFIX, seeds=seeds, on_box=show, graphics="x11", watch=True,
                          timeout=3600)
    elif sys.stdin.isatty():
        r = winepilot.run(PREFIX, seeds=seeds, on_box=answer_from_terminal, timeout=3600)
    else:
        r = winepilot.run(PREFIX, seeds=seeds, on_box=scripted(os.environ.get("ANSWERS", "YN")))
    open(SEEDED, "w").close()

    print()
    print("Summary")
    version = r.windows_version or "unknown"
    print("  Windows version (as Wine reports it): %s%s" % (
        version, " (NT 4.0)" if version.startswith("4.0.") else ""))
    for key in ("atapi", "zyratapi"):
        print("  %-9s Start: %s -> %s" % (key, describe(r.before.get(key)),
                                          describe(r.starts.get(key))))
    print("  restart requested: %s" % (
        "yes (ExitWindowsEx with EWX_REBOOT; Wine ran wineboot --end-session)"
        if r.exit_windows or r.restart_requested else "no"))
    print("  exit status: %s" % r.exit_code)
    for error in r.errors:
        print("  pilot: %s" % error)
    if r.starts.get("zyratapi") == "4:04000000":
        if r.before.get("zyratapi") != r.starts.get("zyratapi"):
            print("Run again to see the tool find the vendor driver disabled.")
        print("`make run-reset` puts the machine back on the vendor driver.")
    return 0 if not r.errors and r.exit_code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
