#!/usr/bin/python3
"""Takes a PNG of each of the five boxes of the main dialogue, as Wine's X11
driver draws them under Xvfb with a Japanese font, into docs/screenshots/."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import winepilot  # noqa: E402
from winepilot import IDNO, IDOK, IDYES  # noqa: E402

PREFIX = os.path.join(winepilot.ROOT, "build", "wine", "shots")
OUT = os.path.join(winepilot.ROOT, "docs", "screenshots")
DISPLAY = ":77"

# file name, seeds, the answers up to the box to take, in order
SHOTS = [
    ("1-intro.png", {"atapi": "dword:4", "zyratapi": "dword:1"}, []),
    ("2-restart-prompt.png", {"atapi": "dword:4", "zyratapi": "dword:1"}, [IDYES]),
    ("3-atapi-missing.png", {"atapi": "absent", "zyratapi": "dword:1"}, [IDYES]),
    ("4-vendor-missing.png", {"atapi": "dword:4", "zyratapi": "absent"}, [IDYES]),
    ("5-vendor-disabled.png", {"atapi": "dword:4", "zyratapi": "dword:4"}, [IDYES]),
]


def take(name, seeds, answers):
    def on_box(box):
        if box.number <= len(answers):
            return answers[box.number - 1]
        time.sleep(1.0)  # let the X server finish drawing
        left, top, right, bottom = box.rect
        subprocess.run(["import", "-display", DISPLAY, "-window", "root", "-crop",
                        "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage",
                        os.path.join(OUT, name)], check=True)
        print("%s: %s" % (name, box.text.decode("cp932").split("\n")[0]))
        return IDNO if IDNO in box.button_ids else IDOK

    r = winepilot.run(PREFIX, seeds=seeds, on_box=on_box, graphics="x11")
    if r.errors or len(r.boxes) != len(answers) + 1:
        raise SystemExit("%s: unexpected run: %s" % (name, r))


def main():
    subprocess.run(["bash", os.path.join(winepilot.ROOT, "tools", "install-deps.sh"),
                    "screenshots"], check=True, stdin=subprocess.DEVNULL)
    winepilot.make_prefix(PREFIX)
    os.makedirs(OUT, exist_ok=True)
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = DISPLAY
    try:
        time.sleep(1.0)
        for name, seeds, answers in SHOTS:
            take(name, seeds, answers)
    finally:
        xvfb.terminate()
        xvfb.wait()
        winepilot.stop_server(PREFIX)
    print("written to %s" % os.path.relpath(OUT, winepilot.ROOT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
