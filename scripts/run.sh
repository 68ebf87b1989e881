#!/usr/bin/env bash
# The main job: builds everything, starts the hardware-monitor stand-in under Wine and runs
# the diagnostics tool against it, which maps the temperature block, refreshes the
# displays and prints what it sees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh"
cmake --preset win32 >/dev/null
cmake --build --preset win32 >/dev/null
. "$root/scripts/session.sh"
session_start
bin="$root/build/win32/bin"
wine "$bin/monitor_standin.exe" --curve --gpu1 "Stand-in GPU=48.5" --exit-after 30 >/dev/null &
standin=$!
sleep 1
wine "$bin/CalorixDiag.exe"
wine "$bin/CalorixDiag.exe" --watch --count "${CALORIX_CHECK_SECONDS:-5}"
kill "$standin" 2>/dev/null || true
