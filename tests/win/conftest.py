"""Fixtures of the tray program's end-to-end runs: display, prefix, staged program, update site.

A test names what its run differs in with the marker
`@pytest.mark.e2e(program=FILE, server="standin", arch="win32", screen=(1920, 1080))` (FILE
from the build's bin/, server one of program_session.SERVERS). A test that takes `site` has the
test update server running, and its programs see that server's variables (update_site.py).
"""
import fcntl
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest
from PIL import Image

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "fixtures" / "update"))
import update_site  # noqa: E402
from program_session import (BIN, ROOT, Display, ProgramLog, Wine, main_window,  # noqa: E402
                             screenshot, stage, wait_until)

BUILD = BIN.parent
DEFAULTS = {"program": "Calorix.exe", "server": "standin", "arch": "win32", "screen": (1920, 1080)}


def pytest_configure(config):
    config.addinivalue_line("markers", "e2e(program, server, arch, screen): the run's set-up")


@pytest.fixture
def options(request):
    found = request.node.get_closest_marker("e2e")
    return {**DEFAULTS, **(found.kwargs if found else {}),
            "name": request.node.originalname.removeprefix("test_")}


@pytest.fixture
def display(options):
    screen = Display(*options["screen"])
    yield screen
    screen.stop()


@pytest.fixture
def prefix(options):
    """A copy of the project's prefix of the run's architecture, made once per build folder."""
    arch = options["arch"]
    copy = BUILD / ("wine-e2e" if arch == "win32" else "wine64-e2e")
    with open(f"{copy}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (copy / ".made").exists():
            shutil.rmtree(copy, ignore_errors=True)
            env = dict(os.environ, CALORIX_WINEARCH=arch)
            subprocess.run([ROOT / "scripts" / "wine-prefix.sh"], env=env, check=True)
            source = subprocess.run(["bash", "-c", '. "$0"; echo "$WINEPREFIX"',
                                     ROOT / "scripts" / "wine-env.sh"], env=env, check=True,
                                    stdout=subprocess.PIPE, text=True).stdout.strip()
            subprocess.run(["cp", "-a", "--reflink=auto", source, str(copy)], check=True)
            (copy / ".made").touch()
    return copy


@pytest.fixture
def site(tmp_path):
    """The test update server on loopback ports: the variables it names for the programs."""
    return update_site.serve(tmp_path, BIN)


@pytest.fixture
def wine(request, options, prefix, display):
    """The prefix's wineserver on the run's display, with a clean account: no settings, no
    update overrides in either view, no work or update folders."""
    session = Wine(prefix, display.name, BIN, options["arch"])
    if "site" in request.fixturenames:
        session.env.update(request.getfixturevalue("site"))
    session.reg("delete", r"HKCU\SOFTWARE\KEM", "/f")
    for view in ("/reg:32", "/reg:64"):
        session.reg("delete", r"HKLM\SOFTWARE\KEM", view, "/f")
    shutil.rmtree(session.work_folder(), ignore_errors=True)
    shutil.rmtree(update_folders(session), ignore_errors=True)
    yield session
    session.stop()


def update_folders(wine):
    return wine.prefix / "drive_c" / "ProgramData" / "KEM Files" / "update"


@pytest.fixture
def staged(options):
    """The run's program (the real one, or a test build) laid out as installed."""
    return stage(BUILD / "e2e" / f"{options['name']}-stage", BIN / options["program"], BIN,
                 options["server"])


@pytest.fixture
def run(options, wine, display, staged):
    """The staged program on its own display and prefix; screenshots in build/win32/e2e/<run>/."""
    shots = BUILD / "e2e" / options["name"]
    shutil.rmtree(shots, ignore_errors=True)
    shots.mkdir(parents=True)
    return Run(wine, display, staged, shots)


class Run:
    """Hands and eyes on one session: starts the program, and reads its window, tray icon,
    settings and log."""

    def __init__(self, wine, display, stage_folder, shots):
        self.wine = wine  # not owned: the fixtures end these
        self.display = display
        self.stage = stage_folder
        self.shots = shots
        self.log = ProgramLog(wine.work_folder() / "calorix.log")
        self.server_log = ProgramLog(wine.work_folder() / "kalvaro.log")

    def start(self, cpu="65.7", standin=None, env=None, stderr=subprocess.DEVNULL):
        """Starts Calorix.exe; a stand-in server will publish `cpu` (or take the stand-in
        options `standin`). Returns the process."""
        return self.wine.start(self.stage / "Calorix.exe", cwd=self.stage,
                               env={"MONITOR_STANDIN_ARGS": standin or f"--cpu {cpu}",
                                    **(env or {})}, stderr=stderr)

    def window(self):
        return main_window(self.wine)

    def rect(self):
        found = self.window()
        return found[2] if found else None

    def update_folders(self):
        return update_folders(self.wine)

    def setting(self, name):
        return self.wine.reg_query(r"HKCU\SOFTWARE\KEM", name)

    def post(self, message, wparam=0, lparam=0):
        self.wine.probe("post", hex(message), wparam, lparam)

    def xdo(self, *args, check=True):
        return subprocess.run(["xdotool", *map(str, args)], stdout=subprocess.PIPE, text=True,
                              env=dict(os.environ, DISPLAY=self.display.name), check=check).stdout

    def click(self, x, y, button=1):
        # The X server takes the move before the press. (--sync would stall here for seconds
        # when the pointer is already in place.)
        self.xdo("mousemove", x, y, "click", button)

    def drag(self, start, end, moved):
        """Drags from `start` to `end`, the button held until `moved()` says the window
        followed: the move loop starts after the press, and a loaded machine may start it after
        a motion, so a pixel more is tried."""
        self.xdo("mousemove", "--sync", *start, "mousedown", 1)
        for nudge in range(3):
            self.xdo("mousemove", "--sync", end[0] + nudge, end[1])
            if wait_until(moved, 2):
                break
        self.xdo("mouseup", 1)

    def shot(self, label):
        path = self.shots / f"{label.replace(' ', '-')}.png"
        screenshot(self.display.name, path)
        return Image.open(path).convert("RGB")

    def tray(self):
        """Left, top, width, height of Wine's tray window, or None while it is not shown."""
        out = self.xdo("search", "--onlyvisible", "--name", "^Wine System Tray$",
                       "getwindowgeometry", "--shell", check=False)
        values = dict(re.findall(r"(\w+)=(\d+)", out))
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")) if values else None

    def tray_icon(self):
        """Screen point of the first icon: Wine's tray lines them up in 20-pixel cells."""
        left, top, _, height = self.tray()
        return left + 12, top + height - 14

    def tray_icons(self, label):
        """How many 20-pixel cells of the tray's icon row hold an icon."""
        found = self.tray()
        if not found:
            return 0
        left, top, width, height = found
        image = self.shot(label)
        row = top + height - 14
        background = image.getpixel((left + width - 6, row))
        cells = range(left + 2, left + width - 20, 20)
        return sum(any(image.getpixel((x, row)) != background for x in range(cell, cell + 20))
                   for cell in cells)

    def menu(self, label):
        """Right-clicks the icon; the test build logs the menu that opens. Returns its items.
        A click the loaded display loses, or a menu left open, costs one more try."""
        for attempt in range(3):
            mark = self.log.mark()
            # The shell is the active window when the user clicks its notification area. Under
            # Wine a menu opened while the program's own window stays active is cancelled at once.
            left, top, _, _ = self.tray()
            self.click(left + 60, top + 8)
            self.click(*self.tray_icon(), button=3)
            match = self.log.wait_for(r"e2e: menu (?!closed)(.*)", 6, mark)
            if match:
                self.menu_shown(label)
                return match.group(1).strip()
            self.shot(f"{label}-missed-{attempt}")
            self.close_menu()
        return None

    def menu_shown(self, label):
        """Keeps a screenshot of the menu once it shows: it is logged as it opens. The menu is
        the program's one visible X window without a name."""
        names = lambda: self.xdo("search", "--onlyvisible", "--classname", r"^calorix\.exe$",
                                 "getwindowname", "%@", check=False).split("\n")[:-1]
        wait_until(lambda: "" in names(), 5)
        self.shot(label)

    def choose(self, *keys):
        """Chooses an item of the open menu with the menu's own keys."""
        self.xdo("key", *keys)

    def close_menu(self):
        """Clicks outside until the test build logs that the open menu has closed."""
        for _ in range(3):
            mark = self.log.mark()
            self.click(10, 600)
            if self.log.wait_for(r"e2e: menu closed", 2, mark):
                return
