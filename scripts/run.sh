#!/usr/bin/env bash
# The main job: builds what it runs (not the tests), stages the tray program with our
# hardware-monitor server Kalvaro.exe, starts a stand-in for the user's hardware monitor that
# publishes HWiNFO's shared memory and a stale server (the program's start-up ends it), runs
# the program under Wine for a while (on $DISPLAY when it is usable, else on a private Xvfb),
# saves a screenshot, prints the server's and the program's log lines, the display count and
# the values its window showed, and ends it. Options: --seconds N, --shot FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
cmake --preset win32 >/dev/null
# The program, its library and skin, the server it starts, the monitor's stand-in and the
# probe that reads its window.
cmake --build --preset main-job >/dev/null
# Debian's interpreter: the one its packages (and the set-up) install for.
exec /usr/bin/python3 "$root/scripts/program_session.py" "$@"
