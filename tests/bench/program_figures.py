#!/usr/bin/env python3
"""Figures of the staged tray program under Wine. A benchmark: it prints, it asserts nothing.

- First report: from launching Calorix.exe to the first "cpu_temperatures" line of its log
  (and to its window), for the first start in a freshly started wineserver session and for
  restarts, with the update server the build names (by default a host that never resolves).
- Steady running: CPU time and private memory of Calorix.exe after a minute, beside
  idle_floor.exe (a message loop with a 1-second timer) started at the same moment, as Linux
  sees the Wine processes (/proc: utime + stime, private resident memory). Wine's own
  GetProcessTimes reports next to nothing for either, so it is not used.

    program_figures.py [--starts N] [--seconds S] [--update-url URL]

--update-url sets the machine's update server override; to time the starts against
update_site.py's servers: update_site.py --bin build/win32/bin -- sh -c
'python3 tests/bench/program_figures.py --seconds 0 --update-url "$CALORIX_TEST_SILENT"'.

It uses the end-to-end tests' prefix copy, display and stage (tests/win/program_e2e.py).
"""
import argparse
import os
import re
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "win"))
from program_e2e import BIN, WM_CLOSE, Run, exit_code  # noqa: E402
from program_session import wait_until  # noqa: E402


def first_report(run):
    mark = run.log.mark()
    launched = time.monotonic()
    program = run.start("55.5")
    window = report = None
    while time.monotonic() - launched < 60 and report is None:
        if window is None and run.window():
            window = time.monotonic() - launched
        if "cpu_temperatures" in run.log.text()[mark:]:
            report = time.monotonic() - launched
        time.sleep(0.01)
    run.post(WM_CLOSE)
    exit_code(program, 15)
    return window, report


def linux_figures(run, name):
    """utime + stime in ms and private resident bytes of this prefix's process `name`."""
    for proc in Path("/proc").iterdir():
        try:
            if (name.encode() in (proc / "cmdline").read_bytes() and
                    f"WINEPREFIX={run.wine.prefix}".encode() in (proc / "environ").read_bytes()):
                fields = (proc / "stat").read_text().rsplit(")", 1)[1].split()
                ticks = int(fields[11]) + int(fields[12])
                rollup = (proc / "smaps_rollup").read_text()
                private = sum(int(v) for v in re.findall(r"Private_\w+:\s+(\d+) kB", rollup))
                return ticks * 1000 // os.sysconf("SC_CLK_TCK"), private * 1024
        except (OSError, ValueError, IndexError):
            continue
    return None


def steady(run, seconds):
    program = run.start("55.5")
    floor = run.wine.start(BIN / "idle_floor.exe")
    wait_until(run.window, 30)
    names = ("Calorix.exe", "idle_floor.exe")
    time.sleep(10)
    early = {name: linux_figures(run, name) for name in names}
    time.sleep(seconds - 10)
    late = {name: linux_figures(run, name) for name in names}
    print(f"after {seconds:.0f} s of running:")
    for name in names:
        cpu, private = late[name] or (0, 0)
        steady_cpu = cpu - (early[name] or (0, 0))[0]
        print(f"  {name:15} CPU {cpu} ms ({steady_cpu} ms in the last {seconds - 10:.0f} s),"
              f" private resident {private:,} bytes")
    run.post(WM_CLOSE)
    exit_code(program, 15)
    floor.terminate()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--starts", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=60, help="0: no steady run")
    parser.add_argument("--update-url")
    args = parser.parse_args()
    run = Run("figures", BIN / "Calorix.exe")
    if args.update_url:
        run.wine.reg("add", r"HKLM\SOFTWARE\KEM", "/v", "update_url", "/t", "REG_SZ", "/d",
                     args.update_url, "/f")
    print(f"update server: {args.update_url or 'the built-in one'}")
    try:
        for start in range(args.starts):
            window, report = first_report(run)
            print(f"start {start + 1} ({'first in the session' if start == 0 else 'restart'}):"
                  f" window after {window:.2f} s, first report after {report:.2f} s")
        if args.seconds > 0:
            steady(run, args.seconds)
    finally:
        run.close()


if __name__ == "__main__":
    main()
