#!/usr/bin/env python3
"""Stages the tray program and runs it under Wine; the main job and the end-to-end tests.

A stage is a folder laid out as the program is installed: Calorix.exe, Zentu.dll, the skin
in skins\\theme1\\, and a server the program starts (HardwareMonitor\\Kalvaro.exe and
HardwareMonitorWin7\\Kalvaro.exe; Wine reports Windows 7 unless told otherwise): our own
server, which reads what a hardware monitor publishes (sensor_publisher.exe stands in for the
monitor), or the stand-in that writes the block itself with the options in
MONITOR_STANDIN_ARGS, for runs that script the block.

    program_session.py [--seconds N] [--shot FILE]     the main job (see main())
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BIN = ROOT / "build" / "win32" / "bin"


SERVERS = {"kalvaro": "Kalvaro.exe", "standin": "monitor_standin_server.exe"}


def stage(folder, program=BIN / "Calorix.exe", bin_dir=BIN, server="kalvaro"):
    """The program with the library, skin and server (see SERVERS) of the build in `bin_dir`."""
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "skins").mkdir(parents=True)
    shutil.copy(program, folder / "Calorix.exe")
    shutil.copy(bin_dir / "Zentu.dll", folder)
    shutil.copytree(bin_dir / "skins" / "theme1", folder / "skins" / "theme1")
    for server_folder in ("HardwareMonitor", "HardwareMonitorWin7"):
        (folder / server_folder).mkdir()
        shutil.copy(bin_dir / SERVERS[server], folder / server_folder / "Kalvaro.exe")
    return folder


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Display:
    """A private Xvfb of the given size whose work area leaves a task bar at the bottom."""

    def __init__(self, width=1920, height=1080, taskbar=40):
        # Xvfb picks a free display and writes its number once it listens: a number chosen
        # here from /tmp could be taken by a run starting at the same moment, or by a server
        # outside a chroot, whose abstract socket a chroot's /tmp does not show.
        # -noreset: the work area lives in a root window property, which a server reset
        # (when its last client goes) would clear.
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError(f"Xvfb ended with status {self.process.wait()} before it listened")
        self.name = f":{number}"
        set_work_area(self.name, 0, 0, width, height - taskbar)

    def stop(self):
        self.process.terminate()
        self.process.wait()


def set_work_area(display, left, top, width, height):
    """_NET_WORKAREA on the root window: Wine's X11 driver takes the work area from it."""
    subprocess.run(["xprop", "-display", display, "-root", "-f", "_NET_WORKAREA", "32c",
                    "-set", "_NET_WORKAREA", f"{left}, {top}, {width}, {height}"], check=True)


def usable_display(name):
    return bool(name) and subprocess.run(["xdpyinfo", "-display", name],
                                         stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL).returncode == 0


class Wine:
    """One Wine prefix with a persistent wineserver, on one X display."""

    def __init__(self, prefix, display, tools=BIN, arch="win32"):
        self.prefix = Path(prefix)
        self.tools = tools  # where program_probe.exe is
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEARCH=arch,
                        WINEDEBUG="-all", DISPLAY=display)
        subprocess.run(["wineserver", "-p"], env=self.env)
        # Wine's background processes start now, detached from any pipe of ours.
        self.run("cmd", "/c", "exit")

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env)
        subprocess.run(["wineserver", "-w"], env=self.env)

    def run(self, *args, timeout=60, env=None):
        return subprocess.run(["wine", *map(str, args)], env=dict(self.env, **(env or {})),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                              timeout=timeout)

    def start(self, *args, env=None, cwd=None, stderr=subprocess.DEVNULL):
        return subprocess.Popen(["wine", *map(str, args)], env=dict(self.env, **(env or {})),
                                cwd=cwd, stdout=subprocess.DEVNULL, stderr=stderr)

    def probe(self, *args):
        return self.run(self.tools / "program_probe.exe", *args).stdout.strip()

    def reg_query(self, key, value):
        out = self.run("reg", "query", key, "/v", value).stdout
        match = re.search(rf"{re.escape(value)}\s+REG_\w+\s+(.*)", out)
        return match.group(1).strip() if match else None

    def reg(self, *args):
        self.run("reg", *args)

    def work_folder(self):
        users = self.prefix / "drive_c" / "users"
        user = next(p.name for p in users.iterdir() if p.name != "Public")
        return users / user / "AppData" / "Local" / "KEM Files"

    def server_pids(self):
        """Linux ids of this prefix's running "Kalvaro.exe" processes."""
        pids = []
        for proc in Path("/proc").iterdir():
            try:
                if (b"Kalvaro.exe" in (proc / "cmdline").read_bytes() and
                        f"WINEPREFIX={self.prefix}".encode() in (proc / "environ").read_bytes()):
                    pids.append(int(proc.name))
            except (OSError, ValueError):
                continue
        return sorted(pids)


class Publisher:
    """sensor_publisher.exe publishing one monitor's format (see its source) until stopped."""

    def __init__(self, wine, fmt, *args):
        self.process = subprocess.Popen(
            ["wine", str(wine.tools / "sensor_publisher.exe"), fmt, *map(str, args)], env=wine.env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        # It says so once its data is in place.
        self.ready = self.process.stdout.readline().startswith("publishing")
        self.started = time.monotonic()

    def stop(self):
        """Ends its input: it leaves the way its monitor does when it exits."""
        if self.process.poll() is None:
            self.process.stdin.close()
            self.process.wait(15)


class ProgramLog:
    """The program's log from the moment this is made."""

    def __init__(self, path):
        self.path = Path(path)
        self.start = self.path.stat().st_size if self.path.exists() else 0

    def text(self):
        if not self.path.exists():
            return ""
        with open(self.path, "rb") as log:
            log.seek(self.start)
            return log.read().decode("utf-8", "replace")

    def mark(self):
        """Where the text written from now on starts."""
        return len(self.text())

    def wait_for(self, pattern, timeout=20, since=0):
        """The first match of `pattern` in the text from `since` on, waited for."""
        return wait_until(lambda: re.search(pattern, self.text()[since:]), timeout)


def wait_until(condition, timeout, step=0.2):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(step)
    return condition()


def holds_for(condition, seconds, step=0.1):
    """Whether `condition` stays true while `seconds` pass; false as soon as it fails."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not condition():
            return False
        time.sleep(step)
    return bool(condition())


def main_window(wine):
    """(count, visible, (left, top, right, bottom)) of the program's main window, or None."""
    words = wine.probe("window").split()
    if len(words) != 7:
        return None
    return int(words[0]), words[2] == "1", tuple(map(int, words[3:]))


def screenshot(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", str(path)], check=True)


def main():
    parser = argparse.ArgumentParser(description="Runs the staged tray program for a while.")
    parser.add_argument("--seconds", type=float, default=12)
    parser.add_argument("--shot", default=str(ROOT / "build" / "calorix-screen.png"))
    args = parser.parse_args()
    own_display = None if usable_display(os.environ.get("DISPLAY")) else Display()
    display = os.environ["DISPLAY"] if own_display is None else own_display.name
    wine = Wine(os.environ.get("CALORIX_WINEPREFIX", ROOT / ".wine"), display)
    with tempfile.TemporaryDirectory(prefix="calorix-stage-") as folder:
        try:
            run_program(wine, display, stage(folder), args)
        finally:
            wine.stop()
            if own_display:
                own_display.stop()


def run_program(wine, display, folder, args):
    print(f"display {display}{'' if display == os.environ.get('DISPLAY') else ' (private Xvfb)'}, "
          f"program staged in {folder}")
    monitor = Publisher(wine, "hwinfo", "--curve", "--cpu", "CPU Package=55", "--core", "50",
                        "--gpu", "Stand-in GPU=48.5")
    print(f"hardware monitor: HWiNFO's shared memory published by sensor_publisher.exe "
          f"({'ready' if monitor.ready else 'FAILED'}), CPU Package swinging 35 to 75 C")
    stale = wine.start(folder / "HardwareMonitorWin7" / "Kalvaro.exe")
    wait_until(wine.server_pids, 10)
    before = wine.server_pids()
    print(f"stale server running: Linux pid {before}")
    log = ProgramLog(wine.work_folder() / "calorix.log")
    server_log = ProgramLog(wine.work_folder() / "kalvaro.log")
    program = wine.start(folder / "Calorix.exe", cwd=folder)
    window = wait_until(lambda: main_window(wine), 30)
    time.sleep(args.seconds)
    after = wine.server_pids()
    screenshot(display, args.shot)
    ended = stale.poll() is not None and not set(before) & set(after)
    print(f"server now: Linux pid {after} (the stale one {'ended' if ended else 'still runs'})")
    if window:
        count, visible, rect = window
        print(f"main window: {'visible' if visible else 'hidden'} at {rect}")
    print(f"screenshot: {args.shot}")
    print("server log (Kalvaro.exe):")
    for line in server_log.text().splitlines():
        print(f"  {line}")
    print("program log (Calorix.exe):")
    text = log.text()
    for line in text.splitlines():
        print(f"  {line}")
    shown = re.findall(r"buffer\[3\]: (\d), buffer\[4\]: (\d), buffer\[5\]: (\d)", text)
    values = [int("".join(digits)) for digits in shown]
    print(f"values the window showed: {values}")
    counts = re.findall(r"devices refreshed: (\d+) display", text)
    print(f"displays: {counts[-1] if counts else 'not refreshed yet'}")
    wine.probe("post", "0x0010", "0", "0")  # WM_CLOSE: the program's orderly end
    try:
        code = program.wait(15)
    except subprocess.TimeoutExpired:
        program.kill()
        code = "none (killed)"
    print(f"program ended with exit code {code}; servers left: {wine.server_pids()}")
    monitor.stop()


if __name__ == "__main__":
    sys.exit(main())
