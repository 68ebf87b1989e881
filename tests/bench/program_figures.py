#!/usr/bin/env python3
"""Figures of the staged tray program under Wine. A benchmark: it prints, it asserts nothing.

    program_figures.py [--build release|win32] [--starts N] [--warm-up S] [--seconds S]
                       [--update-url URL]

- First report: from launching Calorix.exe to the first "cpu_temperatures" line of its log
  (and to its window), for the first start in a freshly started wineserver session and for
  restarts, with the update server the build names (by default a host that never resolves),
  and a stand-in for HWiNFO publishing for the server.
- Steady running, twice: with a hardware monitor publishing (the stand-in for HWiNFO's
  shared memory), and with no monitor at all (the server finds nothing, the block stays
  zero). Each time Calorix.exe and the server it starts, Kalvaro.exe, run beside
  idle_floor.exe (a message loop with a 1-second timer) and service_floor.exe (the same after
  starting the system services the program is built on: GDI+ with one decoded skin PNG, COM
  and OLE with a drop target, device notifications), all started together. After --warm-up
  seconds (the start-up checks, the tray re-add and the server watchdog's first minute) the
  next --seconds are measured; the program and the server are counted apart and together.

How it measures, and why (Wine 8): GetProcessTimes, GetProcessMemoryInfo's PrivateUsage and
the threads' context switches read 0 for another process under Wine; process_figures.exe
prints them anyway. So:
- CPU time: the Linux threads' run time (/proc/<pid>/task/*/schedstat, nanoseconds), and
  `perf stat` attached to the same processes for the same window from outside.
- Context switches: the Linux threads' voluntary and involuntary switches, and perf's count.
- Private bytes: Windows counts committed private memory, not file-backed pages. The Linux
  stand-in is anonymous memory (pages that belong to no file), split by what Windows calls
  each address (process_figures.exe walks the committed regions with VirtualQueryEx):
  MEM_PRIVATE is what Windows' private bytes hold; MEM_IMAGE pages are Wine's copies of
  program images, which Windows maps from the file; the rest is Wine's Unix side (X11,
  fonts, its own heap), which Windows keeps in the kernel. The stand-in is the MEM_PRIVATE
  part. One caveat: Wine touches about 1 MB of every thread's stack region, where Windows
  commits a few pages, so each thread counts about 1 MB here.

--build release (default) measures the program that ships: the release preset's optimized,
stripped build (the debug build carries debug sections that Wine copies into memory). It
needs these targets built in that build folder besides the release preset's own:
idle_floor service_floor process_figures sensor_publisher program_probe.

--update-url sets the machine's update server override; to time the starts against
update_site.py's servers: update_site.py --bin build/win32/bin -- sh -c
'python3 tests/bench/program_figures.py --seconds 0 --update-url "$CALORIX_TEST_SILENT"'.
"""
import argparse
import bisect
import re
import shutil
import struct
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "win"))
from program_e2e import WM_CLOSE, Run, exit_code  # noqa: E402
from program_session import ROOT, Publisher, wait_until, windows_path  # noqa: E402

PAGE = 4096
PROGRAMS = ("Calorix.exe", "Kalvaro.exe")
FLOORS = ("idle_floor.exe", "service_floor.exe")
MONITOR = ("hwinfo", "--cpu", "CPU Package=55.5", "--core", "50", "--gpu", "Test GPU=45")


def first_report(run):
    mark = run.log.mark()
    launched = time.monotonic()
    program = run.start()
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


def linux_pid(run, name):
    """The Linux process of this prefix's Windows process `name`."""
    for proc in Path("/proc").iterdir():
        try:
            if (name.encode() in (proc / "cmdline").read_bytes() and
                    f"WINEPREFIX={run.wine.prefix}".encode() in (proc / "environ").read_bytes()):
                return int(proc.name)
        except (OSError, ValueError):
            continue
    return None


def linux_counts(pid):
    """Run time (ns) and context switches summed over the process's live threads."""
    run_ns = switches = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            run_ns += int((task / "schedstat").read_text().split()[0])
            status = (task / "status").read_text()
            switches += sum(int(n) for n in re.findall(r"ctxt_switches:\s+(\d+)", status))
        except (OSError, ValueError, IndexError):
            continue
    return run_ns, switches


def windows_view(run, names):
    """process_figures.exe's lines by process name: {name: (fields, [(base, end, type)])}."""
    out = run.wine.run(run.wine.tools / "process_figures.exe", "--regions", *names).stdout
    views, current = {}, None
    for line in out.splitlines():
        words = line.split()
        if words and words[0] == "process":
            current = views.setdefault(words[1], (dict(w.split("=") for w in words[2:]), []))
        elif words and words[0] == "region" and current:
            base, size = int(words[1], 16), int(words[2], 16)
            current[1].append((base, base + size, words[3]))
        elif words and current:
            current[0].update(w.split("=") for w in words)
    return views


def anonymous_by_type(pid, regions):
    """Resident anonymous bytes by the Windows type of their address (or "unix")."""
    regions = sorted(regions)
    starts = [r[0] for r in regions]
    totals = {"private": 0, "image": 0, "mapped": 0, "unix": 0}
    maps = Path(f"/proc/{pid}/maps").read_text().splitlines()
    with open(f"/proc/{pid}/pagemap", "rb") as pagemap:
        for line in maps:
            low, high = (int(a, 16) for a in line.split()[0].split("-"))
            if low >= 1 << 32:
                continue
            pagemap.seek(low // PAGE * 8)
            entries = pagemap.read((high - low) // PAGE * 8)
            for i, (entry,) in enumerate(struct.iter_unpack("<Q", entries)):
                # present or swapped, and not a file page or shared: anonymous private memory
                if not entry >> 62 or entry >> 61 & 1:
                    continue
                address = low + i * PAGE
                at = bisect.bisect_right(starts, address) - 1
                inside = at >= 0 and address < regions[at][1]
                totals[regions[at][2] if inside else "unix"] += PAGE
    return totals


def perf_stat(pids, seconds):
    """Starts one `perf stat` per process for `seconds`; returns the running processes."""
    if not shutil.which("perf"):
        return {}
    return {pid: subprocess.Popen(["perf", "stat", "-x", ",", "-e", "task-clock,context-switches",
                                   "-p", str(pid), "--", "sleep", str(seconds)],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            for pid in pids}


def perf_result(process):
    """(task-clock ms, context switches) from a finished `perf stat`, or None."""
    if process is None:
        return None
    values = {}
    for line in process.communicate()[1].splitlines():
        fields = line.split(",")
        if len(fields) > 2 and fields[2] in ("task-clock", "context-switches"):
            try:
                values[fields[2]] = float(fields[0])
            except ValueError:
                return None
    return values.get("task-clock"), values.get("context-switches")


def measure(run, names, seconds):
    pids = {name: linux_pid(run, name) for name in names}
    before = {name: linux_counts(pid) for name, pid in pids.items()}
    perfs = perf_stat(pids.values(), seconds)
    time.sleep(seconds)
    after = {name: linux_counts(pid) for name, pid in pids.items()}
    views = windows_view(run, names)
    figures = {}
    for name, pid in pids.items():
        fields, regions = views.get(name, ({}, []))
        rollup = Path(f"/proc/{pid}/smaps_rollup").read_text()
        figures[name] = {
            "cpu_ms": (after[name][0] - before[name][0]) / 1e6,
            "switches": after[name][1] - before[name][1],
            "perf": perf_result(perfs.get(pid)),
            "threads": len(list(Path(f"/proc/{pid}/task").iterdir())),
            "anonymous": 1024 * int(re.search(r"Anonymous:\s+(\d+)", rollup).group(1)),
            "by_type": anonymous_by_type(pid, regions),
            "windows": fields,
        }
    return figures


def mb(value):
    return f"{value / 2**20:.2f} MB"


def together(figures):
    """The program's and the server's figures added up."""
    a, b = (figures[name] for name in PROGRAMS)
    perf = (tuple(x + y for x, y in zip(a["perf"], b["perf"])) if a["perf"] and b["perf"]
            and None not in a["perf"] + b["perf"] else None)
    return {"cpu_ms": a["cpu_ms"] + b["cpu_ms"], "switches": a["switches"] + b["switches"],
            "perf": perf, "threads": a["threads"] + b["threads"],
            "anonymous": a["anonymous"] + b["anonymous"],
            "by_type": {k: a["by_type"][k] + b["by_type"][k] for k in a["by_type"]},
            "windows": {}}


def print_table(figures, seconds):
    figures = dict(figures, together=together(figures))
    names = [*PROGRAMS, "together", *FLOORS]
    measured = [figures[n] for n in (*PROGRAMS, "together")]
    floors = [figures[n] for n in FLOORS]
    print(f"  {'':34}" + "".join(f"{n:>18}" for n in names))

    def row(label, cell, compare=None):
        line = f"  {label:34}" + "".join(f"{cell(figures[n]):>18}" for n in names)
        if compare:
            line += "   " + "; ".join("/".join(compare(p, f) for f in floors) for p in measured)
        print(line)

    ratio = lambda key: lambda p, f: f"{p[key] / f[key]:.1f}x" if f[key] else "-"  # noqa: E731
    row(f"CPU in {seconds:.0f} s (/proc, threads)", lambda f: f"{f['cpu_ms']:.1f} ms", ratio("cpu_ms"))
    row("CPU, perf task-clock", lambda f: f"{f['perf'][0]:.1f} ms" if f["perf"] else "-")
    row("context switches (/proc)", lambda f: str(f["switches"]), ratio("switches"))
    row("context switches, perf", lambda f: f"{f['perf'][1]:.0f}" if f["perf"] else "-")
    row("threads", lambda f: str(f["threads"]))
    row("private bytes stand-in (MEM_PRIVATE)", lambda f: mb(f["by_type"]["private"]),
        lambda p, f: "+" + mb(p["by_type"]["private"] - f["by_type"]["private"]))
    row("  Wine's image copies (MEM_IMAGE)", lambda f: mb(f["by_type"]["image"]))
    row("  Wine's Unix side", lambda f: mb(f["by_type"]["unix"] + f["by_type"]["mapped"]))
    row("anonymous memory, all", lambda f: mb(f["anonymous"]),
        lambda p, f: "+" + mb(p["anonymous"] - f["anonymous"]))
    row("Wine: GetProcessTimes k+u",
        lambda f: f"{float(f['windows'].get('kernel_ms', 0)) + float(f['windows'].get('user_ms', 0)):.0f} ms")
    row("Wine: PrivateUsage", lambda f: f["windows"].get("private_usage", "-"))
    row("Wine: context switches", lambda f: f["windows"].get("context_switches", "-"))
    row("Wine: committed MEM_PRIVATE",
        lambda f: mb(int(f["windows"].get("committed_private", 0))))


def steady(run, label, monitor, warm_up, seconds):
    """One steady run of the program and its server beside both floors, with the stand-in for
    HWiNFO publishing or with no monitor at all."""
    publisher = Publisher(run.wine, *MONITOR) if monitor else None
    program = run.start()
    png = windows_path(run.stage / "skins" / "theme1" / "img_cpu_bkg5.png")
    floors = [run.wine.start(run.wine.tools / "idle_floor.exe"),
              run.wine.start(run.wine.tools / "service_floor.exe", png)]
    wait_until(run.window, 30)
    time.sleep(warm_up)
    figures = measure(run, PROGRAMS + FLOORS, seconds)
    print(f"{label}: {seconds:.0f} s measured after {warm_up:.0f} s of running"
          f" ({len(run.wine.server_pids())} server processes running); the last column compares"
          " Calorix.exe; Kalvaro.exe; both together with idle_floor/service_floor")
    print_table(figures, seconds)
    run.post(WM_CLOSE)
    exit_code(program, 15)
    for floor in floors:
        floor.terminate()
    if publisher:
        publisher.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="release", choices=("release", "win32"))
    parser.add_argument("--starts", type=int, default=3)
    parser.add_argument("--warm-up", type=float, default=60)
    parser.add_argument("--seconds", type=float, default=120, help="0: no steady runs")
    parser.add_argument("--update-url")
    args = parser.parse_args()
    bin_dir = ROOT / "build" / args.build / "bin"
    run = Run(f"figures-{args.build}", bin_dir / "Calorix.exe", bin_dir=bin_dir, server="kalvaro")
    if args.update_url:
        run.wine.reg("add", r"HKLM\SOFTWARE\KEM", "/v", "update_url", "/t", "REG_SZ", "/d",
                     args.update_url, "/f")
    print(f"build: {args.build}; update server: {args.update_url or 'the built-in one'}")
    try:
        publisher = Publisher(run.wine, *MONITOR)
        for start in range(args.starts):
            window, report = first_report(run)
            print(f"start {start + 1} ({'first in the session' if start == 0 else 'restart'}):"
                  f" window after {window:.2f} s, first report after {report:.2f} s")
        publisher.stop()
        if args.seconds > 0:
            steady(run, "a monitor publishes (HWiNFO's stand-in, 55.5 C)", True, args.warm_up,
                   args.seconds)
            steady(run, "no monitor at all: the server finds nothing, the block stays zero",
                   False, args.warm_up, args.seconds)
    finally:
        run.close()


if __name__ == "__main__":
    main()
