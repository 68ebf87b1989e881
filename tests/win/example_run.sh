#!/usr/bin/env bash
# Installs the win32 build, builds examples/hello_dialog against the installed tree alone
# (every installed header also compiled on its own), runs it under Wine and clicks its
# button through the X server: it must end with the dialog's result 1.
# Usage: example_run.sh BUILD_DIR WORK_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$2
fail() { echo "example: $*"; exit 1; }
rm -rf "$work"
cmake --install "$1" --prefix "$work/sdk" >/dev/null || fail "install failed"
# bin, lib and include hold the library and its public headers alone (the program's skin
# is installed beside them).
extra=$(cd "$work/sdk" && find bin lib include -type f | grep -vE '^(bin/Zentu\.dll|lib/libZentu\.dll\.a|lib/cmake/Zentu/ZentuConfig\.cmake|include/ui/(core|paint|controls)/[a-z_]+\.h)$')
[ -z "$extra" ] || fail "installed more than the library: $extra"
cmake -S "$root/examples/hello_dialog" -B "$work/build" -G Ninja -DZENTU_CHECK_HEADERS=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" -DCMAKE_PREFIX_PATH="$work/sdk" \
  >"$work/log" 2>&1 && cmake --build "$work/build" -j2 >>"$work/log" 2>&1 || { cat "$work/log"; fail "build failed"; }

. "$root/scripts/wine-env.sh"
(cd "$work/build" && exec wine hello_dialog.exe) &
pid=$!
for _ in $(seq 150); do
  window=$(xdotool search --name '^Zentu example$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "${window:-}" ] || { kill "$pid"; fail "no window"; }
# The window shows at (0, 0) before the program centres it: read its place once it stays.
geometry=""
for _ in $(seq 50); do
  now=$(xdotool getwindowgeometry --shell "$window")
  [ "$now" = "$geometry" ] && break
  geometry=$now
  sleep 0.3
done
eval "$geometry"
# The OK button's centre lies 76 pixels left of the right edge and 30 above the bottom.
xdotool mousemove $((X + WIDTH - 76)) $((Y + HEIGHT - 30)) sleep 0.5 click 1
for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "the click did not end the dialog"; }
wait "$pid"
result=$?
[ "$result" -eq 1 ] || fail "exit code $result, not the dialog's result 1"
rm -rf "$work"
