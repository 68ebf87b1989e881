#!/usr/bin/env python3
"""The tray program end to end under Wine and Xvfb: a few grouped runs of the staged program.

    program_e2e.py RUN        RUN is one of: window, tray, shutdown, extras, update, win10

- window: the real Calorix.exe with our server, Kalvaro.exe, reading a stand-in for HWiNFO.
  Placement above a bottom task bar, the stale server ended and its own started, the value
  shown, a second start, the unit switch, other clicks, the ten-second re-add, the close
  button and the tray icon; the server switching between monitors (HWiNFO, AIDA64, none, Core
  Temp) and the adapter's reading on request; the orderly end; no logon task from folders the
  user can change; a start with KEM Files a link, which neither program goes through.
- tray: the build with the hidapi double (program_hid_plug.cpp). The menu and its device
  count while displays come and go, the value without a display, the input method, and
  "Exit" while a device refresh ignores the stop.
- shutdown: the same build on a 1366 x 768 screen. Placement, and the
  orderly end while a device refresh ignores the stop.
- extras: the same build with the server watch's periods shortened, and the stand-in server
  that writes a scripted block. The GPU temperature on
  request (value, background, the menu entry), the icon added again when the shell announces
  a new task bar, the refresh after a resume, and the watchdog restarting a killed server
  within a second of its restart slot, without a second copy, also when the user started one.
- update: the real Calorix.exe against update_site.py's server (run it inside that
  wrapper), with its key as the machine's update_key. The prompt answered NO and YES, the
  download, the signature and the start of the new program from a folder under ProgramData,
  the program's end without its icon, refused and failed updates, the OK box of a manual
  check, and without a key the OK box that says so, closed by the end of the program.
- win10: the real Calorix.exe as a current PC runs it, 32-bit under WOW64 on 64-bit
  Windows 10 (the project's 64-bit prefix; run it inside update_site.py). The window, the
  value sent, the server of HardwareMonitor\\, and the update override of HKLM's 32-bit view.

Each run has its own Xvfb and a copy of the project's Wine prefix with its own wineserver,
so it neither disturbs the other tests nor is disturbed by them. Screenshots are kept in
build/win32/e2e/<run>/. Every check prints one line; the exit code is the number of failures.
"""
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from datetime import datetime
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
from program_session import (BIN, ROOT, Display, ProgramLog, Publisher, Wine,  # noqa: E402
                             main_window, screenshot, stage, wait_until)
from PIL import Image, ImageChops  # noqa: E402

BUILD = BIN.parent
WM_CLOSE, WM_COMMAND = 0x0010, 0x0111


def prefix_copy(build=BUILD, arch="win32"):
    """A copy of the project's prefix of that architecture, made once per build folder."""
    copy = build / ("wine-e2e" if arch == "win32" else "wine64-e2e")
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


class Checks:
    def __init__(self):
        self.failures = 0

    def check(self, ok, what, detail=None):
        print(f"{'ok  ' if ok else 'FAIL'} {what}" + ("" if ok or detail is None else f": {detail}"),
              flush=True)
        self.failures += 0 if ok else 1
        return ok

    def equal(self, actual, expected, what):
        return self.check(actual == expected, what, f"{actual!r}, expected {expected!r}")


class Run:
    """One start-to-end session: display, prefix, stage, and the program's own traces."""

    def __init__(self, name, program, width=1920, height=1080, bin_dir=BIN, arch="win32",
                 server="standin"):
        build = bin_dir.parent
        self.shots = build / "e2e" / name
        shutil.rmtree(self.shots, ignore_errors=True)
        self.shots.mkdir(parents=True)
        self.display = Display(width, height)
        self.wine = Wine(prefix_copy(build, arch), self.display.name, bin_dir, arch)
        # A clean account: no settings, no update overrides in either view, no work or update
        # folders.
        self.wine.reg("delete", r"HKCU\SOFTWARE\KEM", "/f")
        for view in ("/reg:32", "/reg:64"):
            self.wine.reg("delete", r"HKLM\SOFTWARE\KEM", view, "/f")
        shutil.rmtree(self.wine.work_folder(), ignore_errors=True)
        shutil.rmtree(self.update_folders(), ignore_errors=True)
        self.stage = stage(build / "e2e" / f"{name}-stage", program, bin_dir, server)
        self.log = ProgramLog(self.wine.work_folder() / "calorix.log")
        self.server_log = ProgramLog(self.wine.work_folder() / "kalvaro.log")

    def close(self):
        self.wine.stop()
        self.display.stop()

    def start(self, cpu="65.7", standin=None, env=None, stderr=subprocess.DEVNULL):
        """Starts Calorix.exe; a stand-in server will publish `cpu` (or take the stand-in
        options `standin`). Returns the process."""
        return self.wine.start(self.stage / "Calorix.exe", cwd=self.stage,
                               env={"MONITOR_STANDIN_ARGS": standin or f"--cpu {cpu}",
                                    **(env or {})}, stderr=stderr)

    def window(self):
        return main_window(self.wine)

    def update_folders(self):
        return self.wine.prefix / "drive_c" / "ProgramData" / "KEM Files" / "update"

    def rect(self):
        found = self.window()
        return found[2] if found else None

    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=dict(os.environ, DISPLAY=self.display.name),
                       check=True)

    def click(self, x, y, button=1):
        self.xdo("mousemove", x, y, "sleep", "0.3", "click", button)
        time.sleep(0.5)

    def drag(self, start, end):
        self.xdo("mousemove", *start, "sleep", "0.2", "mousedown", 1, "mousemove", *end,
                 "sleep", "0.3", "mouseup", 1)
        time.sleep(0.5)

    def shot(self, label):
        path = self.shots / f"{label.replace(' ', '-')}.png"
        screenshot(self.display.name, path)
        return Image.open(path).convert("RGB")

    def tray(self):
        """Left, top, width, height of Wine's tray window, or None while it is not shown."""
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Wine System Tray$",
                              "getwindowgeometry", "--shell"], stdout=subprocess.PIPE, text=True,
                             env=dict(os.environ, DISPLAY=self.display.name)).stdout
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
                time.sleep(0.7)  # logged as it opens; shown a moment later
                self.shot(label)
                return match.group(1).strip()
            self.shot(f"{label}-missed-{attempt}")
            self.close_menu()
        return None

    def close_menu(self):
        """Clicks outside until the test build logs that the open menu has closed."""
        for _ in range(3):
            mark = self.log.mark()
            self.click(10, 600)
            if self.log.wait_for(r"e2e: menu closed", 2, mark):
                return

    def setting(self, name):
        return self.wine.reg_query(r"HKCU\SOFTWARE\KEM", name)

    def post(self, message, wparam=0, lparam=0):
        self.wine.probe("post", hex(message), wparam, lparam)


def crop(image, rect, inner=None):
    left, top = rect[0], rect[1]
    box = inner or (0, 0, rect[2] - rect[0], rect[3] - rect[1])
    return image.crop((left + box[0], top + box[1], left + box[2], top + box[3]))


def white_pixels(image):
    return sum(1 for p in image.getdata() if min(p) > 200)


def exit_code(process, timeout):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        return None


# The display window of the skin, where the number is drawn, and the unit switch.
NUMBER = (80, 58, 260, 142)
UNIT = (40, 155, 300, 210)


HWINFO = ("hwinfo", "--cpu", "CPU Package=65.7", "--core", "61", "--gpu", "Test GPU=52.5")


def run_window(run, c):
    hwinfo = Publisher(run.wine, *HWINFO)
    c.check(hwinfo.ready, "HWiNFO's stand-in publishes 65.7 on \"CPU Package\"")
    run.wine.start(run.stage / "HardwareMonitorWin7" / "Kalvaro.exe")
    stale_pids = wait_until(run.wine.server_pids, 15)
    c.check(bool(stale_pids), "a stale server runs before the start", stale_pids)
    program = run.start()
    window = wait_until(run.window, 30)
    shown = time.monotonic()
    if not c.check(window is not None, "the main window appears"):
        return
    home = (1577, 787, 1917, 1037)
    c.equal(window[1:], (True, home), "visible at (1577, 787)-(1917, 1037) above a 40-pixel task bar")
    run.drag((home[0] + 60, home[1] + 30), (700, 400))
    c.check(run.rect() != home, "the window can be dragged away", run.rect())
    c.check(wait_until(lambda: run.rect() == home, 20, step=0.1), "the window comes back home")
    back = time.monotonic() - shown
    c.check(8.5 < back < 12, "ten seconds after the start", f"{back:.1f} s")
    print(f"figure: back home {back:.2f} s after the window appeared")
    c.equal(run.tray_icons("re-added"), 1, "with its tray icon re-added")
    run.drag((home[0] + 60, home[1] + 30), (600, 300))
    away = run.rect()
    time.sleep(5)
    c.equal(run.rect(), away, "the timer moves it only once")

    c.check(run.log.wait_for(r"screen_width: 1920, screen_height: 1080, workArea\(0-0-1920-1040\)"),
            "the start-up line names the screen and the work area")
    # Wine gives every folder the user as its owner, so no folder here is the administrators'.
    c.check(run.log.wait_for(r"logon task not registered: Z:\\ can be changed by S-1-5-21-", 1),
            "no logon task for a program in folders the user can change, and the log says why")
    c.check(run.log.wait_for(r"buffer\[3\]: 0, buffer\[4\]: 6, buffer\[5\]: 5", 20),
            "HWiNFO's 65.7, through the server, is reported as 65")
    servers = run.wine.server_pids()
    c.check(len(servers) == 1 and not set(servers) & set(stale_pids),
            "start-up ended the stale server and started its own", (stale_pids, servers))
    c.equal((run.setting("led_switch"), run.setting("tempe_type")), ("1", None),
            "a first start stores led_switch 1 and leaves the unit at Celsius")
    celsius = run.shot("celsius")
    c.check(white_pixels(crop(celsius, away, NUMBER)) > 200, "the number is drawn in the display")

    began = time.monotonic()
    second = run.wine.run(run.stage / "Calorix.exe", timeout=30)
    c.equal(second.returncode, 0, "a second start returns 0")
    c.check(time.monotonic() - began < 10, "at once", f"{time.monotonic() - began:.1f} s")
    c.equal(run.window()[0], 1, "no second main window")
    c.equal(run.tray_icons("second-start"), 1, "no second tray icon")

    unit = (away[0] + 170, away[1] + 182)
    run.click(*unit)
    c.check(wait_until(lambda: run.setting("tempe_type") == "1", 5), "a unit click stores 1")
    c.check(run.log.wait_for(r"buffer\[3\]: 1, buffer\[4\]: 4, buffer\[5\]: 9", 5),
            "and the display gets Fahrenheit: 65 C is 149 F")
    time.sleep(1.2)
    fahrenheit = run.shot("fahrenheit")
    for area, name in ((UNIT, "the unit switch"), (NUMBER, "the number")):
        c.check(ImageChops.difference(crop(celsius, away, area), crop(fahrenheit, away, area))
                .getbbox() is not None, f"{name} changes with the unit")
    run.click(*unit)
    c.check(wait_until(lambda: run.setting("tempe_type") == "0", 5), "a second click stores 0")
    time.sleep(1.2)
    c.check(ImageChops.difference(crop(celsius, away), crop(run.shot("celsius-again"), away))
            .getbbox() is None, "and the window looks as it did in Celsius")
    run.click(away[0] + 170, away[1] + 100)
    run.xdo("type", "--delay", 50, "abc")
    c.equal((run.setting("tempe_type"), run.window()[1:]), ("0", (True, away)),
            "a click elsewhere and typing change neither the unit nor the window")

    run.click(away[0] + 304, away[1] + 33)
    c.check(wait_until(lambda: not run.window()[1], 5), "the close button hides the window")
    c.check(run.wine.server_pids() != [] and exit_code(program, 0) is None,
            "the program keeps running")
    run.click(*run.tray_icon())
    c.check(wait_until(lambda: run.window()[1:] == (True, home), 5),
            "a left click on the tray icon shows it at home", run.window())
    run.shot("shown-again")
    switch_sources(run, c, hwinfo)

    ours = run.wine.server_pids()
    # A server of that name the user started from elsewhere (a second copy of ours would end at
    # once beside the running one).
    user_copy = run.stage.parent / f"{run.stage.name}-user" / "Kalvaro.exe"
    user_copy.parent.mkdir(exist_ok=True)
    shutil.copy(BIN / "monitor_standin_server.exe", user_copy)
    run.wine.start(user_copy, env={"MONITOR_STANDIN_ARGS": "--cpu 20"})
    users = wait_until(lambda: [p for p in run.wine.server_pids() if p not in ours], 15)
    began = time.monotonic()
    run.post(WM_CLOSE)
    c.equal(exit_code(program, 15), 1, "the orderly end returns 1")
    c.check(time.monotonic() - began < 5, "promptly", f"{time.monotonic() - began:.1f} s")
    c.check(users and run.wine.server_pids() == users,
            "the orderly end terminated its own server and left the one the user started",
            (ours, users, run.wine.server_pids()))
    c.equal(run.tray_icons("ended"), 0, "and removed the tray icon")
    kem_files_link(run, c)


def kem_files_link(run, c):
    """KEM Files made a link (Wine shows a Unix symbolic link as one) to a folder that holds a
    full log and its older copy: the program and its server run, and nothing there is made,
    rotated or deleted (no kalvaro.log either); standard error, which the server shares under
    Wine, says why, once for each."""
    elsewhere = run.shots / "kem-files-elsewhere"
    elsewhere.mkdir()
    (elsewhere / "calorix.log").write_bytes(b"full\n" * (1 << 18))  # the next line would rotate it
    (elsewhere / "calorix.log.1").write_text("older\n")
    listing = lambda: {p.name: (p.stat().st_size, p.stat().st_mtime_ns) for p in elsewhere.iterdir()}
    before = listing()
    shutil.rmtree(run.wine.work_folder(), ignore_errors=True)
    run.wine.work_folder().symlink_to(elsewhere, target_is_directory=True)
    errors = run.shots / "kem-files-link.stderr"
    try:
        with open(errors, "w") as stderr:
            program = run.start(stderr=stderr)
        c.check(wait_until(run.window, 30) is not None, "with KEM Files a link the program starts")
        time.sleep(3)  # the start-up lines and the first reports would have been written
        servers = run.wine.server_pids()
        run.post(WM_CLOSE)
        c.equal(exit_code(program, 15), 1, "and ends the orderly way")
    finally:
        run.wine.work_folder().unlink()
    said = sorted(re.findall(r"^log .*", errors.read_text(), re.M))
    folder = r"C:\\users\\\w+\\AppData\\Local\\KEM Files"
    c.check(len(said) == 2 and all(re.fullmatch(rf"log {name}: {folder} is a link; nothing is "
                                                 "written there", line)
                                   for name, line in zip(("calorix.log", "kalvaro.log"), said)),
            "standard error says once for each program's log that its folder is a link", said)
    c.check(servers, "its server ran meanwhile")
    c.equal(listing(), before, "nothing in the link's target was made, rotated or deleted by "
            "either program")


def report(digits):
    return r"buffer\[3\]: %d, buffer\[4\]: %d, buffer\[5\]: %d" % digits


def reported_within(run, c, digits, since, limit, what):
    """The display gets `digits` no later than `limit` seconds after `since` (monotonic)."""
    mark = run.log.mark()
    found = run.log.wait_for(report(digits), limit + 10, mark)
    elapsed = time.monotonic() - since
    print(f"figure: {what}: {digits} after {elapsed:.1f} s")
    # Half a second more than the limit for the log's own lag and this loop's steps.
    return c.check(found and elapsed <= limit + 0.5, f"{what}: the display gets {digits} "
                   f"within {limit} s", f"{elapsed:.1f} s")


def diag(run, *args):
    return run.wine.run(BIN / "CalorixDiag.exe", *args).stdout.replace("\r", "")


def switch_sources(run, c, hwinfo):
    status = diag(run)
    c.check('GPU 1 "Test GPU" 52.5 C' in status and
            'Temperature source: HWiNFO, "CPU Package"' in status,
            "the block names the adapter and says where the value comes from", status)
    run.post(WM_COMMAND, 204)  # "Show GPU temperature"
    c.check(run.log.wait_for(report((0, 5, 2)), 10, run.log.mark()),
            "with \"Show GPU temperature\" chosen the display gets the adapter's 52.5")
    run.post(WM_COMMAND, 204)
    c.check(run.log.wait_for(report((0, 6, 5)), 10, run.log.mark()), "and then the CPU's again")

    aida64 = Publisher(run.wine, "aida64", "--cpu", "TCPUPKG=48", "--core", "44")
    c.check(aida64.ready, "AIDA64's stand-in publishes TCPUPKG 48")
    stopped = time.monotonic()
    hwinfo.stop()
    reported_within(run, c, (0, 4, 8), stopped, 6, "HWiNFO stopped, AIDA64 runs")
    hwinfo = Publisher(run.wine, *HWINFO)
    reported_within(run, c, (0, 6, 5), hwinfo.started, 6, "HWiNFO back")

    mark = run.server_log.mark()
    aida64.stop()
    hwinfo.stop()
    c.check(run.server_log.wait_for(r"no monitor has a fresh CPU temperature", 10, mark),
            "without a monitor the server publishes none")
    time.sleep(1.5)  # a report already under way
    mark = run.log.mark()
    time.sleep(20)
    watched = diag(run, "--watch", "--count", "1")
    c.check("buffer[" not in run.log.text()[mark:] and "CPU no value yet, liveness 0" in watched,
            "no monitor for 20 s: liveness stays 0 and nothing is sent", watched)
    coretemp = Publisher(run.wine, "coretemp", "--core", "55", "--core", "58")
    reported_within(run, c, (0, 5, 8), coretemp.started, 5, "Core Temp started 20 s later")
    coretemp.stop()


def device_paths(name):
    """The interfaces a display announces: its USB device and two HID collections."""
    return [rf"\\?\USB#VID_1A2C&PID_444D#{name}",
            rf"\\?\HID#VID_1A2C&PID_444D&Col01#{name}",
            rf"\\?\HID#VID_1A2C&PID_444D&Col02#{name}"]


def plug(run, name, event, stall_ms=0):
    """The double's displays change, then the system's notifications arrive; returns the
    display count after the refreshes they queue, or None."""
    run.wine.probe("script", "plug" if event == "arrival" else "unplug", name, stall_ms)
    mark = run.log.mark()
    paths = device_paths(name)
    for path in paths:
        run.wine.probe("device", event, path)
    if stall_ms:
        return None
    counts = wait_until(
        lambda: len(found := re.findall(r"devices refreshed: (\d+)", run.log.text()[mark:]))
        >= len(paths) and found, 20)
    return int(counts[-1]) if counts else None


def input_context(run):
    mark = run.log.mark()
    run.wine.probe("input-context")
    match = run.log.wait_for(r"e2e: input context (\w+)", 10, mark)
    return match.group(1) if match else None


def stall_a_refresh(run):
    """A display whose every open waits 10 s: the device refresh it causes ignores a stop."""
    plug(run, "S", "arrival", stall_ms=10000)
    time.sleep(1.5)


def run_tray(run, c):
    program = run.start("51.5")
    if not c.check(wait_until(run.window, 30) is not None, "the main window appears"):
        return
    c.check(run.log.wait_for(r"devices refreshed: 0 display"), "the start-up refresh finds none")
    version = "203:Version: 1.0.0.9"
    for step, (name, event, count) in enumerate(
            [(None, None, 0), ("A", "arrival", 1), ("B", "arrival", 2), ("A", "removal", 1),
             ("B", "removal", 0)]):
        if name:
            c.equal(plug(run, name, event), count, f"{name} {event}: {count} display(s)")
        c.equal(run.menu(f"menu-{step}"), f"{version} | 202:{count} Device | 100:Exit",
                f"the tray menu with {count} display(s)")
        run.close_menu()
    c.check(run.log.wait_for(r"buffer\[3\]: 0, buffer\[4\]: 5, buffer\[5\]: 1", 5, run.log.mark()),
            "without a display the temperature is still reported")
    rect = run.rect()
    c.check(white_pixels(crop(run.shot("no-display"), rect, NUMBER)) > 200,
            "and shown in the window")
    run.click(rect[0] + 170, rect[1] + 100)
    run.xdo("type", "--delay", 50, "typed")
    c.equal(input_context(run), "none", "after typing the window still has no input context")

    stall_a_refresh(run)
    items = run.menu("menu-exit")
    c.check(items is not None and items.endswith("100:Exit"), "the menu opens during the refresh",
            items)
    x, y = run.tray_icon()
    began = time.monotonic()
    run.xdo("mousemove", x + 28, y + 45, "sleep", "0.3", "click", 1)
    code = exit_code(program, 10)
    elapsed = time.monotonic() - began - 0.3
    c.equal(code, 0, "\"Exit\" ends the process with 0")
    c.check(elapsed < 3.5, "within about 2 s although the worker ignores the stop",
            f"{elapsed:.1f} s")
    print(f"figure: exit during a stalled refresh took {elapsed:.2f} s")
    c.check(run.wine.server_pids() != [], "and leaves the server running")
    c.check(run.log.wait_for(r"ending: exit chosen in the tray menu", 1) and
            run.log.wait_for(r"worker did not stop; ending the process", 1),
            "through the one shutdown path, which ends a stalled worker's process")
    c.equal(run.tray_icons("exited"), 0, "without leaving its icon behind")


def run_shutdown(run, c):
    program = run.start("48")
    window = wait_until(run.window, 30)
    if not c.check(window is not None, "the main window appears"):
        return
    c.equal(window[2], (1023, 475, 1363, 725), "at home on 1366 x 768 above the task bar")
    stall_a_refresh(run)
    began = time.monotonic()
    run.post(WM_CLOSE)
    code = exit_code(program, 15)
    elapsed = time.monotonic() - began
    c.equal(code, 1, "the orderly end still returns 1")
    c.check(elapsed < 3.5, "within about 2 s although the worker ignores the stop",
            f"{elapsed:.1f} s")
    print(f"figure: orderly end during a stalled refresh took {elapsed:.2f} s")
    c.check(run.log.wait_for(r"worker did not stop; ending the process", 1),
            "the log says why it ended the process")
    c.equal(run.wine.server_pids(), [], "the orderly end terminated the server")


# The test build's server watch: a first "minute" of 12 ticks of 1 s, and at most one restart
# per 5 s.
WATCH_MS = (1000, 5000)
WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC = 0x0218, 0x12
MENU = "203:Version: 1.0.0.9 | 202:1 Device{} | 100:Exit"
GPU_ENTRY = " | 204:Show GPU temperature{}"
SKIN = ("img_cpu_bkg5.png", "img_gpu_bkg5.png")


def background(run):
    """The skin background the window matches best outside the number, and how far apart
    they are (mean largest channel difference over its opaque pixels)."""
    window = crop(run.shot("background"), run.rect())

    def distance(name):
        art = Image.open(BIN / "skins" / "theme1" / name).convert("RGBA")
        points = [(x, y) for y in range(0, art.height, 3) for x in range(0, art.width, 3)
                  if art.getpixel((x, y))[3] == 255 and
                  not (NUMBER[0] <= x < NUMBER[2] and NUMBER[1] <= y < NUMBER[3])]
        return sum(max(abs(a - b) for a, b in zip(window.getpixel(p), art.getpixel(p)))
                   for p in points) / len(points)
    return min((distance(name), name) for name in SKIN)


def shows(run, c, digits, art, what):
    """The next reports send `digits`; the window draws their number over `art`."""
    mark = run.log.mark()
    report = r"buffer\[3\]: %d, buffer\[4\]: %d, buffer\[5\]: %d" % digits
    c.check(run.log.wait_for(report, 10, mark), f"{what}: the display gets {digits}")
    time.sleep(0.8)  # the source's change reaches the window after the report
    run.wine.probe("shown")
    drawn = run.log.wait_for(r"e2e: shown (\S+)", 10, mark)
    distance, name = background(run)
    number = str(digits[1] * 10 + digits[2])
    c.equal((drawn and drawn.group(1), name, distance < 8), (number, art, True),
            f"{what}: the window draws {number} over {art}")


def shell_and_sleep(run, c, shown_at):
    time.sleep(max(0.0, shown_at + 11 - time.monotonic()))  # past the re-add at 10 s
    c.equal(run.wine.probe("tray-delete"), "deleted", "the shell loses the icon")
    c.check(wait_until(lambda: run.tray_icons("icon-lost") == 0, 5), "it is no longer shown")
    mark = run.log.mark()
    run.wine.probe("taskbar-created")
    c.check(wait_until(lambda: run.tray_icons("icon-back") == 1, 10) and
            run.log.wait_for(r"task bar recreated: tray icon added again", 5, mark),
            "\"TaskbarCreated\" adds the icon again, logged")
    run.wine.probe("script", "plug", "R", 0)  # a display that no notification announced
    mark = run.log.mark()
    run.post(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)
    c.check(run.log.wait_for(r"resumed from sleep: device refresh queued", 10, mark) and
            run.log.wait_for(r"devices refreshed: 1 display", 20, mark),
            "a resume queues a device refresh, which opens the display at once")


def servers_over(run, seconds):
    """The server ids seen every 0.1 s while `seconds` pass."""
    seen, end = [], time.monotonic() + seconds
    while time.monotonic() < end:
        seen.append(run.wine.server_pids())
        time.sleep(0.1)
    return seen


def restarted_alone(run, c, gone, what):
    seen = servers_over(run, WATCH_MS[1] / 1000 + 1.5)  # up to a restart slot away
    c.check(seen[-1] and not set(seen[-1]) & set(gone) and max(map(len, seen)) == 1, what, seen)
    return seen[-1]


def logged_at(run, pattern, since, timeout=10):
    """When the program wrote the first line matching `pattern` after `since`, in host time."""
    match = run.log.wait_for(r"\[(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})\][^\n]*" + pattern,
                             timeout, since)
    if not match:
        return None
    month, day, hour, minute, second, ms = map(int, match.groups()[:6])
    return datetime(datetime.now().year, month, day, hour, minute, second, ms * 1000).timestamp()


def watchdog(run, c, began):
    time.sleep(max(0.0, began + 24 * WATCH_MS[0] / 1000 - time.monotonic()))
    ours = run.wine.server_pids()
    c.equal(len(ours), 1, "one server runs two minutes into the run")
    mark, killed = run.log.mark(), time.time()
    os.kill(ours[0], signal.SIGKILL)
    first = logged_at(run, r"Kalvaro\.exe started again \(restart 1\)", mark)
    c.check(first and first - killed < 1 and run.log.wait_for(r"Kalvaro\.exe has ended", 5, mark),
            "killed long after its restart slot, the server is started again within a second, "
            "its end and the restart logged", first and f"{first - killed:.2f} s")
    # Ended again at once: the next restart waits for its slot, a spacing after this one.
    again = wait_until(lambda: [p for p in run.wine.server_pids() if p not in ours], 5)
    os.kill(again[0], signal.SIGKILL)
    again = restarted_alone(run, c, again, "ended again, it is started again, only one copy")
    second = logged_at(run, r"Kalvaro\.exe started again \(restart 2\)", mark)
    slot = second - first - WATCH_MS[1] / 1000 if first and second else None
    c.check(slot is not None and 0 <= slot < 1,
            "ended again before its slot, it is started within a second of the slot, not before",
            None if slot is None else f"{slot:+.2f} s from the slot")
    if first and slot is not None:
        print(f"figure: restarted {first - killed:.2f} s after the kill, {slot:.2f} s after the slot")

    # The user starts a copy that names no adapter, and ours ends.
    user = run.wine.start(run.stage / "HardwareMonitorWin7" / "Kalvaro.exe",
                          env={"MONITOR_STANDIN_ARGS": "--cpu 48.3"})
    theirs = wait_until(lambda: [p for p in run.wine.server_pids() if p not in again], 15)
    mark = run.log.mark()
    os.kill(again[0], signal.SIGKILL)
    time.sleep(2.5 * WATCH_MS[1] / 1000)
    c.check(run.wine.server_pids() == theirs and "restart 3" not in run.log.text()[mark:],
            "while the user's copy runs none is started beside it", run.wine.server_pids())
    shows(run, c, (0, 4, 8), SKIN[0], "setting 1 and no adapter named")
    c.equal(run.menu("menu-no-adapter"), MENU.format(""), "the menu offers no GPU entry")
    run.close_menu()
    os.kill(theirs[0], signal.SIGKILL)
    user.wait()
    restarted_alone(run, c, theirs, "once it has ended the program starts its own again, alone")


def run_extras(run, c):
    run.wine.reg("add", r"HKCU\SOFTWARE\KEM", "/v", "device_type", "/t", "REG_SZ", "/d", "1", "/f")
    began = time.monotonic()
    program = run.start(standin="--cpu 48.3 --gpu1 Stand-in_GPU=61.5",
                        env={"CALORIX_E2E_WATCH_MS": ",".join(map(str, WATCH_MS))})
    if not c.check(wait_until(run.window, 30) is not None, "the main window appears"):
        return
    shown_at = time.monotonic()
    shows(run, c, (0, 6, 1), SKIN[1], "setting 1 and an adapter at 61.5")
    c.check(run.log.wait_for(r"gpu_temperatures: 61\.5"), "the log names the adapter's reading")
    shell_and_sleep(run, c, shown_at)
    watchdog(run, c, began)
    entry = MENU.format(GPU_ENTRY)
    c.equal(run.menu("menu-gpu"), entry.format(" [checked]"),
            "with an adapter named the entry is checked")
    x, y = run.tray_icon()
    run.click(x + 28, y + 45)  # the third item
    c.check(wait_until(lambda: run.setting("device_type") == "0", 5), "choosing it stores 0")
    shows(run, c, (0, 4, 8), SKIN[0], "the entry chosen")
    c.equal(run.menu("menu-cpu"), entry.format(""), "and it is no longer checked")
    run.close_menu()
    run.post(WM_CLOSE)
    c.equal(exit_code(program, 15), 1, "the orderly end returns 1")
    c.equal(run.wine.server_pids(), [], "and ends the server it restarted")


# The message box's buttons, at their height in the 380 x 200 box: where a row of pixels
# leaves the box's dark ground.
BOX_BUTTON_ROW = 175


def box(run):
    """The message box's screen rectangle once it is open, or None."""
    words = run.wine.probe("box").split()
    return tuple(map(int, words[1:])) if len(words) == 5 else None


def button_spans(image, rect):
    """[start, end) of each stretch of the box's button row (inside its one-pixel border) that
    is not the box's dark ground; a gap of a pixel or two inside a button's art is bridged."""
    ground = image.getpixel((rect[0] + 30, rect[1] + BOX_BUTTON_ROW))
    row = "".join("#" if max(abs(a - b) for a, b in zip(
        image.getpixel((rect[0] + x, rect[1] + BOX_BUTTON_ROW)), ground)) > 24 else "."
        for x in range(1, rect[2] - rect[0] - 1))
    row = re.sub(r"(?<=#)\.{1,2}(?=#)", lambda gap: "#" * len(gap.group()), row)
    return [(m.start() + 1, m.end() + 1) for m in re.finditer("#+", row)]


def answer_box(run, c, label, spans, button):
    """Waits for the box, checks where its buttons are, and clicks the one named."""
    if not c.check(wait_until(lambda: box(run), 20) is not None, f"the {label} box opens"):
        return False
    time.sleep(0.8)  # created at (0, 0), then centred and painted
    rect = box(run)
    c.equal(rect, (770, 420, 1150, 620), f"380 x 200, centred in the work area ({label})")
    c.equal(button_spans(run.shot(label), rect), spans, f"its buttons ({label})")
    run.click(rect[0] + button[0], rect[1] + button[1])
    return c.check(wait_until(lambda: box(run) is None, 5), f"a click on it closes the box ({label})")


YES_NO = [(70, 170), (210, 310)]
OK = [(60, 320)]


def requests(site):
    log = Path(site.replace("Z:", "").replace("\\", "/")) / "requests.log"
    return log.read_text() if log.exists() else ""


def consent_to_start(log):
    """Milliseconds from the YES click's handling to the installer's start, as logged, and of
    those the ones from the download's start (the rest is the report's pause before it)."""
    stamp = r"\[\d\d-\d\d (\d\d):(\d\d):(\d\d)\.(\d{3})\]\[\w+ *\]"
    ms = lambda m: ((int(m[0]) * 60 + int(m[1])) * 60 + int(m[2])) * 1000 + int(m[3])
    began = re.search(stamp + r"update: downloading", log)
    started = re.search(stamp + r"update: started .*, (\d+) ms after consent", log)
    if not (began and started):
        return None
    return int(started.group(5)), ms(started.groups()[:4]) - ms(began.groups())


def run_update(run, c):
    site = os.environ.get("CALORIX_TEST_SITE")
    if not c.check(site is not None, "runs inside update_site.py"):
        return
    set_base = lambda base: run.wine.reg("add", r"HKLM\SOFTWARE\KEM", "/v", "update_url", "/t",
                                         "REG_SZ", "/d", f"{os.environ['CALORIX_TEST_HTTP']}/{base}", "/f")
    run.wine.reg("add", r"HKLM\SOFTWARE\KEM", "/v", "update_key", "/t", "REG_SZ", "/d",
                 os.environ["CALORIX_TEST_KEY"], "/f")
    set_base("ok")
    program = run.start()
    answer_box(run, c, "start-up prompt", YES_NO, (260, 175))  # NO
    time.sleep(1)
    c.check("Software-1.0.1.0.zip" not in requests(site) and exit_code(program, 0) is None,
            "NO downloads nothing and the program runs on")
    run.post(WM_COMMAND, 101)
    answer_box(run, c, "firmware result", OK, (190, 175))
    c.check(run.log.wait_for(r"update: firmware 110, device -1: current"),
            "the manual firmware check without a display reports the firmware current")
    run.post(WM_COMMAND, 102)
    c.equal(run.tray_icons("before-yes"), 1, "the icon is shown before the update")
    answer_box(run, c, "manual prompt", YES_NO, (120, 175))  # YES
    c.equal(exit_code(program, 60), 0, "YES: the program ends with 0 after the update started")
    marker = lambda: list(run.update_folders().glob("*/Software-1.0.1.0.exe.ran"))
    c.check(wait_until(marker, 20), "the downloaded program ran from ProgramData\\KEM Files\\update")
    c.check("GET /ok/q7rb/software///Software-1.0.1.0.zip 200" in requests(site),
            "the archive came from the channel URL plus two slashes")
    c.check(run.log.wait_for(r"update: started .*Software-1\.0\.1\.0\.exe \(signed with the "
                             r"update key\)", 1), "its signature was checked, and that was logged")
    c.check(run.log.wait_for(r"program ended: an update's program started, exit code 0", 1),
            "the end went through the orderly shutdown")
    c.equal(run.tray_icons("after-update"), 0, "and left no icon behind")
    c.check(run.wine.server_pids() != [], "the server keeps running, as after \"Exit\"")
    print("figure: consent to installer start %s ms, from the download's start %s ms"
          % (consent_to_start(run.log.text()) or ("?", "?")))

    # The update folder made a link (Wine shows a Unix symbolic link as a reparse point) to a
    # folder that must stay empty.
    elsewhere = run.shots / "elsewhere"
    for base, logged, link in (
            ("missing", r"HTTP 404\); nothing started", False),
            ("unsigned", r"is unsigned \(no Software-1\.0\.1\.0\.exe\.sig", False),
            ("notaprogram", r"could not start Software-1\.0\.1\.0\.exe", False),
            ("ok", r"no safe update folder \(.*update is a link\); nothing started", True)):
        set_base(base)
        if link:
            shutil.rmtree(run.update_folders(), ignore_errors=True)
            elsewhere.mkdir()
            run.update_folders().symlink_to(elsewhere, target_is_directory=True)
        mark = run.log.mark()
        program = run.start()
        answer_box(run, c, f"prompt of the {base} site", YES_NO, (120, 175))  # YES
        c.check(run.log.wait_for(logged, 30, mark), f"the failed update is logged ({base})")
        time.sleep(1)
        c.check(exit_code(program, 0) is None and run.window() is not None,
                f"and the program runs on with its window ({base})")
        run.post(WM_CLOSE)
        c.equal(exit_code(program, 15), 1, f"until its orderly end ({base})")
    c.equal(list(elsewhere.iterdir()), [], "nothing was written through the link")
    run.update_folders().unlink()

    # Without a key nothing can be checked: the newer version is announced, with OK only.
    set_base("ok")
    run.wine.reg("delete", r"HKLM\SOFTWARE\KEM", "/v", "update_key", "/f")
    mark = run.log.mark()
    program = run.start()
    c.check(wait_until(lambda: box(run), 20) is not None, "a box is open")
    time.sleep(0.8)
    c.equal(button_spans(run.shot("no-key box"), box(run)), OK, "without a key: an OK box")
    c.check(run.log.wait_for(r"newer, but without an update key it cannot be installed", 5, mark),
            "and the log says why")
    run.post(WM_CLOSE)
    c.equal(exit_code(program, 10), 1, "the orderly end closes it and ends the program")


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode().strip()
    except OSError:
        return ""


def run_win10(run, c):
    site, http = os.environ.get("CALORIX_TEST_SITE"), os.environ.get("CALORIX_TEST_HTTP")
    if not c.check(site is not None, "runs inside update_site.py"):
        return
    # The 32-bit view (HKLM\SOFTWARE\WOW6432Node) is the program's; the native one holds a
    # decoy that it must not read.
    for view, base in (("/reg:32", "wow64"), ("/reg:64", "native")):
        run.wine.reg("add", r"HKLM\SOFTWARE\KEM", "/v", "update_url", "/t", "REG_SZ", "/d",
                     f"{http}/{base}", view, "/f")
    program = run.start("65.7")
    if not c.check(wait_until(run.window, 30) is not None, "the main window appears"):
        return
    c.check(run.log.wait_for(r"buffer\[3\]: 0, buffer\[4\]: 6, buffer\[5\]: 5", 20),
            "the stand-in's 65.7 is sent as 0, 6, 5")
    time.sleep(1)
    c.check(white_pixels(crop(run.shot("window"), run.rect(), NUMBER)) > 200,
            "and the window shows the number")
    servers = [command_line(pid) for pid in run.wine.server_pids()]
    c.check(len(servers) == 1 and re.search(r"\\HardwareMonitor\\Kalvaro\.exe$", servers[0]),
            "the server is the Windows 10 build, from HardwareMonitor\\", servers)
    c.check(wait_until(lambda: "GET /wow64/q7rb/software/version " in requests(site), 20)
            and "/native/" not in requests(site),
            "the update check asks the server that HKLM's 32-bit view names", requests(site))
    run.post(WM_CLOSE)
    c.equal(exit_code(program, 15), 1, "the orderly end returns 1")
    c.equal(run.wine.server_pids(), [], "and ends the server")


def main():
    name = sys.argv[1] if len(sys.argv) > 1 else ""
    double = BIN / "calorix_hid_double.exe"
    runs = {"window": (run_window, BIN / "Calorix.exe", 1920, 1080, {"server": "kalvaro"}),
            "tray": (run_tray, double, 1920, 1080),
            "shutdown": (run_shutdown, double, 1366, 768),
            "extras": (run_extras, double, 1920, 1080),
            "update": (run_update, BIN / "Calorix.exe", 1920, 1080),
            "win10": (run_win10, BIN / "Calorix.exe", 1920, 1080, {"arch": "win64"})}
    if name not in runs:
        print(__doc__)
        return 2
    body, program, width, height, *options = runs[name]
    run = Run(name, program, width, height, **(options[0] if options else {}))
    c = Checks()
    try:
        body(run, c)
    finally:
        run.close()
    print(f"{c.failures} failed")
    return min(c.failures, 100)


if __name__ == "__main__":
    sys.exit(main())
