"""Runs the real executable under Wine through the pilot program and reads
back what happened: the boxes shown, the buttons pressed, the exit code, the
two Start values afterwards and whether a restart was requested."""

import os
import re
import subprocess
import tempfile
import time
from dataclasses import dataclass, field

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL_EXE = os.path.join(ROOT, "build", "win32", "atapisw.exe")
PILOT_EXE = os.path.join(ROOT, "build", "win32", "tests", "e2e", "pilot.exe")
TEXTS_FILE = os.path.join(ROOT, "tests", "texts.tsv")

IDOK, IDYES, IDNO = 1, 6, 7


def load_texts():
    """name -> the text's code page 932 bytes, from the shared table."""
    texts = {}
    with open(TEXTS_FILE, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            name, length, wording = line.split("\t", 2)
            data = wording.replace("\\n", "\n").encode("cp932")
            assert len(data) == int(length), name
            texts[name] = data
    return texts


def wine_env(prefix, graphics_display=False):
    env = dict(os.environ)
    env.update(WINEPREFIX=os.path.abspath(prefix), WINEARCH="win32", LANG="ja_JP.UTF-8",
               LC_ALL="ja_JP.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=",
               # Process creation is traced so that a restart request shows:
               # Wine carries it out by starting wineboot.exe --end-session.
               # The relay trace is limited by the prefix to the tool's calls
               # to MessageBoxA and ExitWindowsEx.
               WINEDEBUG="-all,+process,+relay")
    if not graphics_display:
        env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def windows_path(path):
    """The path as the tool sees it through Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


@dataclass
class Box:
    number: int
    caption: bytes = b""
    text: bytes = b""
    buttons: list = field(default_factory=list)  # (id, label)
    rect: tuple = (0, 0, 0, 0)
    pressed: int = 0

    @property
    def button_ids(self):
        return sorted(b[0] for b in self.buttons)


@dataclass
class Result:
    acp: int = 0
    windows_version: str = ""  # major.minor.build, as GetVersionExA reports it
    boxes: list = field(default_factory=list)
    exit_code: int = None
    before: dict = field(default_factory=dict)  # key -> "nokey" | "novalue" | "type:hex"
    starts: dict = field(default_factory=dict)  # the same, after the run
    errors: list = field(default_factory=list)
    wineboot: list = field(default_factory=list)  # command lines of wineboot started
    box_calls: list = field(default_factory=list)  # (owner, style) of each MessageBoxA
    exit_windows: list = field(default_factory=list)  # (flags, reserved) of ExitWindowsEx

    @property
    def restart_requested(self):
        return any("--end-session" in c for c in self.wineboot)


def make_prefix(prefix):
    """Installs Wine and makes the private prefix, where missing."""
    subprocess.run(["bash", os.path.join(ROOT, "tools", "wine-prefix.sh"), prefix], check=True,
                   stdin=subprocess.DEVNULL)


def windows_version(prefix):
    """What `ver` prints in the prefix, e.g. "Microsoft Windows 4.0.1381"."""
    out = subprocess.run(["wine", "cmd", "/c", "ver"], env=wine_env(prefix), check=True,
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL).stdout
    return out.decode("ascii", "replace").strip()


def start_server(prefix):
    """Keeps one wineserver alive across runs, which saves a second a run."""
    make_prefix(prefix)
    # The server outlives this process: it must not hold the caller's pipes.
    subprocess.run(["wineserver", "-p"], env=wine_env(prefix), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def stop_server(prefix):
    for flag in ("-k", "-w"):
        subprocess.run(["wineserver", flag], env=wine_env(prefix), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_end_session(timeout=20):
    """Waits until no wineboot --end-session runs, so one run's restart
    cannot reach the next run's boxes."""
    end = time.time() + timeout
    while time.time() < end:
        if not any(b"wineboot.exe" in c and b"--end-session" in c for c in _command_lines()):
            return True
        time.sleep(0.1)
    return False


def _command_lines():
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    yield f.read()
            except OSError:
                pass


def set_graphics(prefix, driver):
    """Sets the prefix's graphics driver: "null" (no display) or "x11". The
    session's desktop process fixes the driver for every process of the
    session, so the change is made with no wineserver running."""
    stamp = os.path.join(prefix, ".graphics")
    current = open(stamp).read() if os.path.exists(stamp) else "null"
    if current == driver:
        return
    env = wine_env(prefix)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stop_server(prefix)
    subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics",
                    "/d", driver, "/f"], env=env, check=True, **quiet)
    # Wine draws caption and frame itself, as Windows does, rather than
    # leaving them to a window manager that Xvfb does not have.
    subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v",
                    "Decorated", "/d", "N", "/f"], env=env, check=True, **quiet)
    stop_server(prefix)
    with open(stamp, "w") as f:
        f.write(driver)


def run(prefix, seeds=None, answers="", args=(), on_box=None, graphics="null", watch=False,
        timeout=60, exe=TOOL_EXE, pilot=PILOT_EXE):
    """Runs the tool once. seeds: key -> state for the pilot (keys not named
    stay as they are). answers: "Y"/"N" per question; or on_box(box) picks
    the button id to press for every box (with watch, it is only told).
    exe None: only seed the keys. graphics: the prefix's graphics driver for
    this run, "null" or "x11"."""
    set_graphics(prefix, graphics)
    cmd = ["wine", pilot, "--timeout", str(timeout)]
    for key, state in (seeds or {}).items():
        cmd += ["--seed", "%s=%s" % (key, state)]
    if watch:
        cmd += ["--watch"]
    elif on_box is not None:
        cmd += ["--answers", "-"]
    elif answers:
        cmd += ["--answers", answers]
    if exe is not None:
        cmd += ["--", windows_path(exe)] + list(args)

    result = Result()
    with tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(cmd, env=wine_env(prefix, graphics_display=graphics != "null"),
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=err)
        box = None
        for raw in proc.stdout:
            word, _, rest = raw.decode("ascii", "replace").rstrip("\r\n").partition(" ")
            if word == "ACP":
                result.acp = int(rest)
            elif word == "WINVER":
                result.windows_version = rest
            elif word == "BOX":
                box = Box(int(rest))
                result.boxes.append(box)
            elif word == "CAPTION":
                box.caption = bytes.fromhex(rest)
            elif word == "TEXT":
                box.text = bytes.fromhex(rest)
            elif word == "BUTTON":
                ident, _, label = rest.partition(" ")
                box.buttons.append((int(ident), bytes.fromhex(label).decode("utf-8")))
            elif word == "RECT":
                box.rect = tuple(int(v) for v in rest.split())
            elif word == "SHOWN" and on_box is not None:
                button = on_box(box)  # in watch mode, only news of the box
                if not watch:
                    proc.stdin.write(b"%d\n" % button)
                    proc.stdin.flush()
            elif word == "PRESS":
                box.pressed = int(rest)
            elif word == "EXIT":
                result.exit_code = int(rest)
            elif word in ("BEFORE", "START"):
                key, _, value = rest.partition(" ")
                (result.before if word == "BEFORE" else result.starts)[key] = \
                    value.replace(" ", ":")
            elif word == "ERROR":
                result.errors.append(rest)
        proc.wait(timeout=timeout + 30)
        if proc.returncode != 0:
            result.errors.append("pilot exited with %d" % proc.returncode)
        err.seek(0)
        trace = err.read().decode("utf-8", "replace")
    result.wineboot = re.findall(
        r'CreateProcessInternalW app L"[^"]*wineboot\.exe" cmdline L"([^"]*)"', trace)
    result.box_calls = [(int(o, 16), int(s, 16)) for o, s in re.findall(
        r"Call user32\.MessageBoxA\(([0-9a-f]{8}),.*,([0-9a-f]{8})\) ret=", trace)]
    result.exit_windows = [(int(f, 16), int(r, 16)) for f, r in re.findall(
        r"Call user32\.ExitWindowsEx\(([0-9a-f]{8}),([0-9a-f]{8})\) ret=", trace)]
    if result.restart_requested:
        wait_end_session()
    return result
