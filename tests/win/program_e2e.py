"""The tray program end to end under Wine and Xvfb: one test per grouped run of the staged program.

    python3 -m pytest -s -p no:cacheprovider tests/win/program_e2e.py::test_RUN

RUN is one of:
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
- update: the real Calorix.exe against the test update server, with its key as the machine's
  update_key. The prompt answered NO and YES, the download, the signature and the start of
  the new program from a folder under ProgramData, the program's end without its icon,
  refused and failed updates, the OK box of a manual check, and without a key the OK box
  that says so, closed by the end of the program.
- win10: the real Calorix.exe as a current PC runs it, 32-bit under WOW64 on 64-bit
  Windows 10 (the project's 64-bit prefix), against the test update server. The window, the
  value sent, the server of HardwareMonitor\\, and the update override of HKLM's 32-bit view.

Each run has its own Xvfb and copy of the project's Wine prefix (conftest.py), so it neither
disturbs the other tests nor is disturbed by them. Screenshots are kept in build/win32/e2e/<run>/.
"""
import os
import re
import shutil
import signal
import subprocess
import time
from datetime import datetime
from pathlib import Path

import pytest
from PIL import Image, ImageChops
from program_session import BIN, Publisher, holds_for, wait_until

WM_CLOSE, WM_COMMAND = 0x0010, 0x0111
WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC = 0x0218, 0x12

# The display window of the skin, where the number is drawn, and the unit switch.
NUMBER = (80, 58, 260, 142)
UNIT = (40, 155, 300, 210)
HOME = (1577, 787, 1917, 1037)

HWINFO = ("hwinfo", "--cpu", "CPU Package=65.7", "--core", "61", "--gpu", "Test GPU=52.5")


def crop(image, rect, inner=None):
    left, top = rect[0], rect[1]
    box = inner or (0, 0, rect[2] - rect[0], rect[3] - rect[1])
    return image.crop((left + box[0], top + box[1], left + box[2], top + box[3]))


def white_pixels(image):
    return sum(1 for p in image.getdata() if min(p) > 200)


def differs(before, after, rect, area=None):
    return ImageChops.difference(crop(before, rect, area), crop(after, rect, area)).getbbox() \
        is not None


def settled(produce, accept, timeout):
    """The first value of `produce()` that `accept` takes, or the last one within `timeout`."""
    seen = []
    wait_until(lambda: seen.append(produce()) or accept(seen[-1]), timeout)
    return seen[-1]


def painted(run, label, looks_right):
    """The screenshot once `looks_right` holds for it: the window is drawn a moment after the
    change that causes it."""
    return settled(lambda: run.shot(label), looks_right, 5)


def exit_code(process, timeout):
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        return None


def report(digits):
    return r"buffer\[3\]: %d, buffer\[4\]: %d, buffer\[5\]: %d" % digits


@pytest.mark.e2e(server="kalvaro")
def test_window(run):
    hwinfo = Publisher(run.wine, *HWINFO)
    assert hwinfo.ready, "HWiNFO's stand-in publishes 65.7 on \"CPU Package\""
    run.wine.start(run.stage / "HardwareMonitorWin7" / "Kalvaro.exe")
    stale_pids = wait_until(run.wine.server_pids, 15)
    assert stale_pids, "a stale server runs before the start"
    program = run.start()
    away = placed_and_brought_home(run)
    first_start(run, stale_pids)
    celsius = run.shot("celsius")
    assert white_pixels(crop(celsius, away, NUMBER)) > 200, "the number is drawn in the display"
    second_start(run)
    unit_switch(run, away, celsius)
    run.click(away[0] + 304, away[1] + 33)
    assert wait_until(lambda: not run.window()[1], 5), "the close button hides the window"
    assert run.wine.server_pids() != [] and program.poll() is None, "the program keeps running"
    run.click(*run.tray_icon())
    assert wait_until(lambda: run.window()[1:] == (True, HOME), 5), \
        "a left click on the tray icon shows it at home"
    run.shot("shown-again")
    switch_sources(run, hwinfo)
    orderly_end_beside_users_server(run, program)
    kem_files_link(run)


def placed_and_brought_home(run):
    """Placed above the task bar, dragged away, and brought home by the ten-second timer,
    once. Returns where it was dragged the second time."""
    window = wait_until(run.window, 30)
    shown = time.monotonic()
    assert window is not None, "the main window appears"
    assert window[1:] == (True, HOME), \
        "visible at (1577, 787)-(1917, 1037) above a 40-pixel task bar"
    grip = (HOME[0] + 60, HOME[1] + 30)
    # A layered window takes the pointer only where it has drawn itself.
    painted(run, "placed", lambda shot: shot.getpixel(grip) != (0, 0, 0))
    run.drag(grip, (700, 400), lambda: run.rect() != HOME)
    assert run.rect() != HOME, "the window can be dragged away"
    assert wait_until(lambda: run.rect() == HOME, 20, step=0.1), "the window comes back home"
    back = time.monotonic() - shown
    assert 8.5 < back < 12, f"ten seconds after the start, not {back:.1f} s"
    print(f"figure: back home {back:.2f} s after the window appeared")
    assert run.tray_icons("re-added") == 1, "with its tray icon re-added"
    run.drag(grip, (600, 300), lambda: run.rect() != HOME)
    away = run.rect()
    # A second move is what must not happen: watched for as long as the check always has.
    assert holds_for(lambda: run.rect() == away, 5), "the timer moves it only once"
    return away


def first_start(run, stale_pids):
    assert run.log.wait_for(
        r"screen_width: 1920, screen_height: 1080, workArea\(0-0-1920-1040\)"), \
        "the start-up line names the screen and the work area"
    # Wine gives every folder the user as its owner, so no folder here is the administrators'.
    assert run.log.wait_for(r"logon task not registered: Z:\\ can be changed by S-1-5-21-", 1), \
        "no logon task for a program in folders the user can change, and the log says why"
    assert run.log.wait_for(report((0, 6, 5)), 20), \
        "HWiNFO's 65.7, through the server, is reported as 65"
    servers = run.wine.server_pids()
    assert len(servers) == 1 and not set(servers) & set(stale_pids), \
        f"start-up ended the stale server {stale_pids} and started its own, not {servers}"
    assert (run.setting("led_switch"), run.setting("tempe_type")) == ("1", None), \
        "a first start stores led_switch 1 and leaves the unit at Celsius"


def second_start(run):
    began = time.monotonic()
    second = run.wine.run(run.stage / "Calorix.exe", timeout=30)
    assert second.returncode == 0, "a second start returns 0"
    assert time.monotonic() - began < 10, "at once"
    assert run.window()[0] == 1, "no second main window"
    assert run.tray_icons("second-start") == 1, "no second tray icon"


def unit_switch(run, away, celsius):
    unit = (away[0] + 170, away[1] + 182)
    run.click(*unit)
    assert wait_until(lambda: run.setting("tempe_type") == "1", 5), "a unit click stores 1"
    assert run.log.wait_for(report((1, 4, 9)), 5), "and the display gets Fahrenheit: 65 C is 149 F"
    fahrenheit = painted(run, "fahrenheit",
                         lambda shot: all(differs(celsius, shot, away, a) for a in (UNIT, NUMBER)))
    for area, name in ((UNIT, "the unit switch"), (NUMBER, "the number")):
        assert differs(celsius, fahrenheit, away, area), f"{name} changes with the unit"
    run.click(*unit)
    assert wait_until(lambda: run.setting("tempe_type") == "0", 5), "a second click stores 0"
    again = painted(run, "celsius-again", lambda shot: not differs(celsius, shot, away))
    assert not differs(celsius, again, away), "and the window looks as it did in Celsius"
    run.click(away[0] + 170, away[1] + 100)
    run.xdo("type", "--delay", 50, "abc")
    # Nothing may come of them: watched for a second.
    assert holds_for(lambda: (run.setting("tempe_type"), run.window()[1:]) == ("0", (True, away)),
                     1), "a click elsewhere and typing change neither the unit nor the window"


def orderly_end_beside_users_server(run, program):
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
    assert exit_code(program, 15) == 1, "the orderly end returns 1"
    assert time.monotonic() - began < 5, "promptly"
    assert users and run.wine.server_pids() == users, \
        "the orderly end terminated its own server and left the one the user started"
    assert run.tray_icons("ended") == 0, "and removed the tray icon"


def kem_files_link(run):
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
    said = lambda: sorted(re.findall(r"^log .*", errors.read_text(), re.M))
    try:
        with open(errors, "w") as stderr:
            program = run.start(stderr=stderr)
        assert wait_until(run.window, 30) is not None, "with KEM Files a link the program starts"
        # Each program has tried its first log line once it has said so.
        servers = wait_until(lambda: len(said()) == 2 and run.wine.server_pids(), 20)
        run.post(WM_CLOSE)
        assert exit_code(program, 15) == 1, "and ends the orderly way"
    finally:
        run.wine.work_folder().unlink()
    folder = r"C:\\users\\\w+\\AppData\\Local\\KEM Files"
    assert len(said()) == 2 and all(
        re.fullmatch(rf"log {name}: {folder} is a link; nothing is written there", line)
        for name, line in zip(("calorix.log", "kalvaro.log"), said())), \
        "standard error says once for each program's log that its folder is a link"
    assert servers, "its server ran meanwhile"
    assert listing() == before, "nothing in the link's target was made, rotated or deleted by " \
        "either program"


def reported_within(run, digits, since, limit, what):
    """The display gets `digits` no later than `limit` seconds after `since` (monotonic)."""
    mark = run.log.mark()
    found = run.log.wait_for(report(digits), limit + 10, mark)
    elapsed = time.monotonic() - since
    print(f"figure: {what}: {digits} after {elapsed:.1f} s")
    # Half a second more than the limit for the log's own lag and this loop's steps.
    assert found and elapsed <= limit + 0.5, \
        f"{what}: the display gets {digits} within {limit} s, not {elapsed:.1f} s"


def diag(run, *args):
    return run.wine.run(BIN / "CalorixDiag.exe", *args).stdout.replace("\r", "")


def reports_stop(run):
    """Waits until a report period and a half pass without a report: one read before the
    monitors stopped may still be under way."""
    reports = lambda: run.log.text().count("buffer[")
    return wait_until(lambda: holds_for(lambda before=reports(): reports() == before, 1.5), 15)


def switch_sources(run, hwinfo):
    status = diag(run)
    assert 'GPU 1 "Test GPU" 52.5 C' in status and \
        'Temperature source: HWiNFO, "CPU Package"' in status, \
        "the block names the adapter and says where the value comes from"
    run.post(WM_COMMAND, 204)  # "Show GPU temperature"
    assert run.log.wait_for(report((0, 5, 2)), 10, run.log.mark()), \
        "with \"Show GPU temperature\" chosen the display gets the adapter's 52.5"
    run.post(WM_COMMAND, 204)
    assert run.log.wait_for(report((0, 6, 5)), 10, run.log.mark()), "and then the CPU's again"

    aida64 = Publisher(run.wine, "aida64", "--cpu", "TCPUPKG=48", "--core", "44")
    assert aida64.ready, "AIDA64's stand-in publishes TCPUPKG 48"
    stopped = time.monotonic()
    hwinfo.stop()
    reported_within(run, (0, 4, 8), stopped, 6, "HWiNFO stopped, AIDA64 runs")
    hwinfo = Publisher(run.wine, *HWINFO)
    reported_within(run, (0, 6, 5), hwinfo.started, 6, "HWiNFO back")

    mark = run.server_log.mark()
    aida64.stop()
    hwinfo.stop()
    assert run.server_log.wait_for(r"no monitor has a fresh CPU temperature", 10, mark), \
        "without a monitor the server publishes none"
    assert reports_stop(run), "the reports stop"
    mark = run.log.mark()
    time.sleep(20)  # what is checked: 20 s without a monitor
    watched = diag(run, "--watch", "--count", "1")
    assert "buffer[" not in run.log.text()[mark:] and "CPU no value yet, liveness 0" in watched, \
        "no monitor for 20 s: liveness stays 0 and nothing is sent"
    coretemp = Publisher(run.wine, "coretemp", "--core", "55", "--core", "58")
    reported_within(run, (0, 5, 8), coretemp.started, 5, "Core Temp started 20 s later")
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


def logged_answer(run, pattern, *probe):
    """Asks the test build through the probe; returns what it logs in answer."""
    mark = run.log.mark()
    run.wine.probe(*probe)
    match = run.log.wait_for(pattern, 10, mark)
    return match.group(1) if match else None


def stall_a_refresh(run):
    """A display whose every open waits 10 s: the device refresh it causes ignores a stop."""
    plug(run, "S", "arrival", stall_ms=10000)
    assert wait_until(lambda: logged_answer(run, r"e2e: stalled calls (\d+)", "script", "stalled")
                      not in (None, "0"), 10), "the device refresh waits on the stalled display"


def ends_at_once(program, end, code, what, figure):
    """`end()` ends the program with `code` within about 2 s, during a stalled refresh."""
    began = time.monotonic()
    end()
    ended = exit_code(program, 15)
    elapsed = time.monotonic() - began
    assert ended == code, what
    assert elapsed < 3.5, \
        f"within about 2 s although the worker ignores the stop, not {elapsed:.1f} s"
    print(f"figure: {figure} during a stalled refresh took {elapsed:.2f} s")


@pytest.mark.e2e(program="calorix_hid_double.exe")
def test_tray(run):
    program = run.start("51.5")
    assert wait_until(run.window, 30) is not None, "the main window appears"
    assert run.log.wait_for(r"devices refreshed: 0 display"), "the start-up refresh finds none"
    version = "203:Version: 1.0.0.9"
    for step, (name, event, count) in enumerate(
            [(None, None, 0), ("A", "arrival", 1), ("B", "arrival", 2), ("A", "removal", 1),
             ("B", "removal", 0)]):
        if name:
            assert plug(run, name, event) == count, f"{name} {event}: {count} display(s)"
        assert run.menu(f"menu-{step}") == f"{version} | 202:{count} Device | 100:Exit", \
            f"the tray menu with {count} display(s)"
        run.close_menu()
    assert run.log.wait_for(report((0, 5, 1)), 5, run.log.mark()), \
        "without a display the temperature is still reported"
    rect = run.rect()
    assert white_pixels(crop(run.shot("no-display"), rect, NUMBER)) > 200, \
        "and shown in the window"
    run.click(rect[0] + 170, rect[1] + 100)
    run.xdo("type", "--delay", 50, "typed")
    assert logged_answer(run, r"e2e: input context (\w+)", "input-context") == "none", \
        "after typing the window still has no input context"

    stall_a_refresh(run)
    items = run.menu("menu-exit")
    assert items is not None and items.endswith("100:Exit"), "the menu opens during the refresh"
    ends_at_once(program, lambda: run.choose("End", "Return"), 0,  # "Exit", the last item
                 "\"Exit\" ends the process with 0", "exit")
    assert run.wine.server_pids() != [], "and leaves the server running"
    assert run.log.wait_for(r"ending: exit chosen in the tray menu", 1) and \
        run.log.wait_for(r"worker did not stop; ending the process", 1), \
        "through the one shutdown path, which ends a stalled worker's process"
    assert run.tray_icons("exited") == 0, "without leaving its icon behind"


@pytest.mark.e2e(program="calorix_hid_double.exe", screen=(1366, 768))
def test_shutdown(run):
    program = run.start("48")
    window = wait_until(run.window, 30)
    assert window is not None, "the main window appears"
    assert window[2] == (1023, 475, 1363, 725), "at home on 1366 x 768 above the task bar"
    stall_a_refresh(run)
    ends_at_once(program, lambda: run.post(WM_CLOSE), 1, "the orderly end still returns 1",
                 "orderly end")
    assert run.log.wait_for(r"worker did not stop; ending the process", 1), \
        "the log says why it ended the process"
    assert run.wine.server_pids() == [], "the orderly end terminated the server"


# The test build's server watch: a first "minute" of 12 ticks of 1 s, and at most one restart
# per 5 s.
WATCH_MS = (1000, 5000)
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


def shows(run, digits, art, what):
    """The next reports send `digits`; the window draws their number over `art`."""
    mark = run.log.mark()
    assert run.log.wait_for(report(digits), 10, mark), f"{what}: the display gets {digits}"
    number = str(digits[1] * 10 + digits[2])

    def drawn():
        distance, name = background(run)
        return logged_answer(run, r"e2e: shown (\S+)", "shown"), name, distance < 8
    # The source's change reaches the window after the report.
    assert settled(drawn, (number, art, True).__eq__, 10) == (number, art, True), \
        f"{what}: the window draws {number} over {art}"


def shell_and_sleep(run, shown_at):
    # The program adds its icon again 10 s after its start, which leaves no trace to wait for
    # while the window is at home: the icon is lost after that.
    time.sleep(max(0.0, shown_at + 11 - time.monotonic()))
    assert run.wine.probe("tray-delete") == "deleted", "the shell loses the icon"
    assert wait_until(lambda: run.tray_icons("icon-lost") == 0, 5), "it is no longer shown"
    mark = run.log.mark()
    run.wine.probe("taskbar-created")
    assert wait_until(lambda: run.tray_icons("icon-back") == 1, 10) and \
        run.log.wait_for(r"task bar recreated: tray icon added again", 5, mark), \
        "\"TaskbarCreated\" adds the icon again, logged"
    run.wine.probe("script", "plug", "R", 0)  # a display that no notification announced
    mark = run.log.mark()
    run.post(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)
    assert run.log.wait_for(r"resumed from sleep: device refresh queued", 10, mark) and \
        run.log.wait_for(r"devices refreshed: 1 display", 20, mark), \
        "a resume queues a device refresh, which opens the display at once"


def servers_over(run, seconds):
    """The server ids seen every 0.1 s while `seconds` pass: a second copy may show for a
    moment only."""
    seen, end = [], time.monotonic() + seconds
    while time.monotonic() < end:
        seen.append(run.wine.server_pids())
        time.sleep(0.1)
    return seen


def restarted_alone(run, gone, what):
    seen = servers_over(run, WATCH_MS[1] / 1000 + 1.5)  # up to a restart slot away
    assert seen[-1] and not set(seen[-1]) & set(gone) and max(map(len, seen)) == 1, what
    return seen[-1]


def logged_at(run, pattern, since, timeout=10):
    """When the program wrote the first line matching `pattern` after `since`, in host time."""
    match = run.log.wait_for(r"\[(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})\][^\n]*" + pattern,
                             timeout, since)
    if not match:
        return None
    month, day, hour, minute, second, ms = map(int, match.groups()[:6])
    return datetime(datetime.now().year, month, day, hour, minute, second, ms * 1000).timestamp()


def watchdog(run, began):
    # The restarts are the later watch's: two of the run's shortened minutes pass first.
    time.sleep(max(0.0, began + 24 * WATCH_MS[0] / 1000 - time.monotonic()))
    ours = run.wine.server_pids()
    assert len(ours) == 1, "one server runs two minutes into the run"
    mark, killed = run.log.mark(), time.time()
    os.kill(ours[0], signal.SIGKILL)
    first = logged_at(run, r"Kalvaro\.exe started again \(restart 1\)", mark)
    took = f"{first - killed:.2f} s" if first else "not logged"
    assert first and first - killed < 1 and \
        run.log.wait_for(r"Kalvaro\.exe has ended", 5, mark), \
        "killed long after its restart slot, the server is started again within a second, " \
        f"its end and the restart logged ({took})"
    # Ended again at once: the next restart waits for its slot, a spacing after this one.
    again = wait_until(lambda: [p for p in run.wine.server_pids() if p not in ours], 5)
    os.kill(again[0], signal.SIGKILL)
    again = restarted_alone(run, again, "ended again, it is started again, only one copy")
    second = logged_at(run, r"Kalvaro\.exe started again \(restart 2\)", mark)
    slot = second - first - WATCH_MS[1] / 1000 if first and second else None
    assert slot is not None and 0 <= slot < 1, \
        "ended again before its slot, it is started within a second of the slot, not before " \
        f"({'no second restart' if slot is None else f'{slot:+.2f} s from the slot'})"
    print(f"figure: restarted {first - killed:.2f} s after the kill, {slot:.2f} s after the slot")

    # The user starts a copy that names no adapter, and ours ends.
    user = run.wine.start(run.stage / "HardwareMonitorWin7" / "Kalvaro.exe",
                          env={"MONITOR_STANDIN_ARGS": "--cpu 48.3"})
    theirs = wait_until(lambda: [p for p in run.wine.server_pids() if p not in again], 15)
    mark = run.log.mark()
    os.kill(again[0], signal.SIGKILL)
    # A restart beside the user's copy is what must not happen, in two and a half spacings.
    time.sleep(2.5 * WATCH_MS[1] / 1000)
    assert run.wine.server_pids() == theirs and "restart 3" not in run.log.text()[mark:], \
        "while the user's copy runs none is started beside it"
    shows(run, (0, 4, 8), SKIN[0], "setting 1 and no adapter named")
    assert run.menu("menu-no-adapter") == MENU.format(""), "the menu offers no GPU entry"
    run.close_menu()
    os.kill(theirs[0], signal.SIGKILL)
    user.wait()
    restarted_alone(run, theirs, "once it has ended the program starts its own again, alone")


@pytest.mark.e2e(program="calorix_hid_double.exe")
def test_extras(run):
    run.wine.reg("add", r"HKCU\SOFTWARE\KEM", "/v", "device_type", "/t", "REG_SZ", "/d", "1", "/f")
    began = time.monotonic()
    program = run.start(standin="--cpu 48.3 --gpu1 Stand-in_GPU=61.5",
                        env={"CALORIX_E2E_WATCH_MS": ",".join(map(str, WATCH_MS))})
    assert wait_until(run.window, 30) is not None, "the main window appears"
    shown_at = time.monotonic()
    shows(run, (0, 6, 1), SKIN[1], "setting 1 and an adapter at 61.5")
    assert run.log.wait_for(r"gpu_temperatures: 61\.5"), "the log names the adapter's reading"
    shell_and_sleep(run, shown_at)
    watchdog(run, began)
    entry = MENU.format(GPU_ENTRY)
    assert run.menu("menu-gpu") == entry.format(" [checked]"), \
        "with an adapter named the entry is checked"
    run.choose("Home", "Down", "Down", "Return")  # the third item
    assert wait_until(lambda: run.setting("device_type") == "0", 5), "choosing it stores 0"
    shows(run, (0, 4, 8), SKIN[0], "the entry chosen")
    assert run.menu("menu-cpu") == entry.format(""), "and it is no longer checked"
    run.close_menu()
    run.post(WM_CLOSE)
    assert exit_code(program, 15) == 1, "the orderly end returns 1"
    assert run.wine.server_pids() == [], "and ends the server it restarted"


# The message box's buttons, at their height in the 380 x 200 box: where a row of pixels
# leaves the box's dark ground.
BOX_BUTTON_ROW = 175
BOX = (770, 420, 1150, 620)  # centred in the work area
YES_NO = [(70, 170), (210, 310)]
OK = [(60, 320)]


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


def drawn_box(run, label, spans):
    """The box's rectangle and its buttons once it is centred and painted with `spans`
    (it is made at (0, 0), then centred and painted), or as last seen."""
    def drawn():
        rect = box(run)
        return rect, rect and button_spans(run.shot(label), rect)
    return settled(drawn, (BOX, spans).__eq__, 10)


def answer_box(run, label, spans, button):
    """Waits for the box, checks where its buttons are, and clicks the one named."""
    assert wait_until(lambda: box(run), 20) is not None, f"the {label} box opens"
    rect, drawn = drawn_box(run, label, spans)
    assert rect == BOX, f"380 x 200, centred in the work area ({label})"
    assert drawn == spans, f"its buttons ({label})"
    run.click(rect[0] + button[0], rect[1] + button[1])
    assert wait_until(lambda: box(run) is None, 5), f"a click on it closes the box ({label})"


def requests(site):
    log = Path(site["CALORIX_TEST_SITE"].replace("Z:", "").replace("\\", "/")) / "requests.log"
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


def set_override(run, name, value, *view):
    run.wine.reg("add", r"HKLM\SOFTWARE\KEM", "/v", name, "/t", "REG_SZ", "/d", value, *view, "/f")


def test_update(run, site):
    set_base = lambda base: set_override(run, "update_url", f"{site['CALORIX_TEST_HTTP']}/{base}")
    set_override(run, "update_key", site["CALORIX_TEST_KEY"])
    set_base("ok")
    program = run.start()
    answer_box(run, "start-up prompt", YES_NO, (260, 175))  # NO
    # Nothing may come of it: watched for a second.
    assert holds_for(lambda: "Software-1.0.1.0.zip" not in requests(site) and
                     program.poll() is None, 1), "NO downloads nothing and the program runs on"
    run.post(WM_COMMAND, 101)
    answer_box(run, "firmware result", OK, (190, 175))
    assert run.log.wait_for(r"update: firmware 110, device -1: current"), \
        "the manual firmware check without a display reports the firmware current"
    run.post(WM_COMMAND, 102)
    assert run.tray_icons("before-yes") == 1, "the icon is shown before the update"
    answer_box(run, "manual prompt", YES_NO, (120, 175))  # YES
    assert exit_code(program, 60) == 0, "YES: the program ends with 0 after the update started"
    marker = lambda: list(run.update_folders().glob("*/Software-1.0.1.0.exe.ran"))
    assert wait_until(marker, 20), "the downloaded program ran from ProgramData\\KEM Files\\update"
    assert "GET /ok/q7rb/software///Software-1.0.1.0.zip 200" in requests(site), \
        "the archive came from the channel URL plus two slashes"
    assert run.log.wait_for(r"update: started .*Software-1\.0\.1\.0\.exe \(signed with the "
                            r"update key\)", 1), "its signature was checked, and that was logged"
    assert run.log.wait_for(r"program ended: an update's program started, exit code 0", 1), \
        "the end went through the orderly shutdown"
    assert run.tray_icons("after-update") == 0, "and left no icon behind"
    assert run.wine.server_pids() != [], "the server keeps running, as after \"Exit\""
    print("figure: consent to installer start %s ms, from the download's start %s ms"
          % (consent_to_start(run.log.text()) or ("?", "?")))
    failed_updates(run, set_base)
    no_key(run, set_base)


def failed_updates(run, set_base):
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
        answer_box(run, f"prompt of the {base} site", YES_NO, (120, 175))  # YES
        assert run.log.wait_for(logged, 30, mark), f"the failed update is logged ({base})"
        # An end after the failure is what must not happen: watched for a second.
        assert holds_for(lambda: program.poll() is None and run.window() is not None, 1), \
            f"and the program runs on with its window ({base})"
        run.post(WM_CLOSE)
        assert exit_code(program, 15) == 1, f"until its orderly end ({base})"
    assert list(elsewhere.iterdir()) == [], "nothing was written through the link"
    run.update_folders().unlink()


def no_key(run, set_base):
    """Without a key nothing can be checked: the newer version is announced, with OK only."""
    set_base("ok")
    run.wine.reg("delete", r"HKLM\SOFTWARE\KEM", "/v", "update_key", "/f")
    mark = run.log.mark()
    program = run.start()
    assert wait_until(lambda: box(run), 20) is not None, "a box is open"
    assert drawn_box(run, "no-key box", OK)[1] == OK, "without a key: an OK box"
    assert run.log.wait_for(r"newer, but without an update key it cannot be installed", 5, mark), \
        "and the log says why"
    run.post(WM_CLOSE)
    assert exit_code(program, 10) == 1, "the orderly end closes it and ends the program"


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode().strip()
    except OSError:
        return ""


@pytest.mark.e2e(arch="win64")
def test_win10(run, site):
    # The 32-bit view (HKLM\SOFTWARE\WOW6432Node) is the program's; the native one holds a
    # decoy that it must not read.
    for view, base in (("/reg:32", "wow64"), ("/reg:64", "native")):
        set_override(run, "update_url", f"{site['CALORIX_TEST_HTTP']}/{base}", view)
    program = run.start("65.7")
    assert wait_until(run.window, 30) is not None, "the main window appears"
    assert run.log.wait_for(report((0, 6, 5)), 20), "the stand-in's 65.7 is sent as 0, 6, 5"
    shot = painted(run, "window", lambda s: white_pixels(crop(s, run.rect(), NUMBER)) > 200)
    assert white_pixels(crop(shot, run.rect(), NUMBER)) > 200, "and the window shows the number"
    servers = [command_line(pid) for pid in run.wine.server_pids()]
    assert len(servers) == 1 and re.search(r"\\HardwareMonitor\\Kalvaro\.exe$", servers[0]), \
        f"the server is the Windows 10 build, from HardwareMonitor\\, not {servers}"
    assert wait_until(lambda: "GET /wow64/q7rb/software/version " in requests(site), 20) \
        and "/native/" not in requests(site), \
        "the update check asks the server that HKLM's 32-bit view names"
    run.post(WM_CLOSE)
    assert exit_code(program, 15) == 1, "the orderly end returns 1"
    assert run.wine.server_pids() == [], "and ends the server"
