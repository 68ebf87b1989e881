#!/usr/bin/env python3
"""Every DLL that a shipped binary imports must be on every Windows PC or ship beside it.

    shipped_imports.py OBJDUMP BUILD_DIR WORK_DIR

Installs the install component "program" of BUILD_DIR (what the installer carries) into
WORK_DIR, and lists the imports of every Windows image found there, whatever its name or
folder. An import passes when it is in SYSTEM below or is a file in the same folder as the
image that imports it. Wine brings builtin DLLs that Windows lacks (zlib1.dll among them), so
a program that imports one runs here and fails to start on Windows. Prints one line per
image; the exit code is the number of images that fail.
"""
import re
import shutil
import subprocess
import sys
from pathlib import Path

# DLLs of Windows 7 SP1 and every later version, 32-bit. Not here on purpose: the Universal
# CRT (ucrtbase.dll, api-ms-win-crt-*.dll), which Windows 7 has only with an update, and the
# compilers' runtimes (libgcc_s_*.dll, libstdc++-6.dll, libwinpthread-1.dll), which are
# linked in.
SYSTEM = {
    "advapi32.dll", "bcrypt.dll", "cfgmgr32.dll", "comctl32.dll", "crypt32.dll", "gdi32.dll",
    "gdiplus.dll", "hid.dll", "imm32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "setupapi.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "version.dll", "winhttp.dll", "wininet.dll", "winmm.dll",
    "wintrust.dll", "ws2_32.dll",
}


def imports(objdump, image):
    """The DLL names in the image's import table, in lower case."""
    out = subprocess.run([objdump, "-p", str(image)], stdout=subprocess.PIPE, text=True,
                         check=True).stdout
    return sorted({name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)", out, re.M)})


def is_image(path):
    with open(path, "rb") as f:
        return f.read(2) == b"MZ"


def main(objdump, build, work):
    work = Path(work)
    shutil.rmtree(work, ignore_errors=True)
    subprocess.run(["cmake", "--install", build, "--component", "program", "--prefix",
                    str(work)], stdout=subprocess.DEVNULL, check=True)
    images = sorted(p for p in work.rglob("*") if p.is_file() and is_image(p))
    failures = 0
    for image in images:
        beside = {p.name.lower() for p in image.parent.iterdir()}
        missing = [dll for dll in imports(objdump, image) if dll not in SYSTEM | beside]
        failures += bool(missing)
        print(f"{'FAIL' if missing else 'ok  '} {image.relative_to(work)}" +
              (f" imports {', '.join(missing)}: not part of Windows, not shipped beside it"
               if missing else ""))
    if not images:
        print(f"FAIL no Windows image in the program component of {build}")
        return 1
    shutil.rmtree(work)
    return failures


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
