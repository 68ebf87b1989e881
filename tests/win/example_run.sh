#!/usr/bin/env bash
# Installs the win32 build, builds examples/hello_dialog against the installed tree alone
# (its own CMake project, with every installed header compiled on its own), runs it under
# Wine and clicks its button through the X server: it must end with the dialog's result 1.
# Usage: example_run.sh BUILD_DIR WORK_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$2
fail() { echo "example: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/sdk" >/dev/null || fail "install failed"
# The library, its import library, its package file and the public headers; nothing else.
extra=$(cd "$work/sdk" && find . -type f | grep -vE '^\./(bin/Zentu\.dll|lib/libZentu\.dll\.a|lib/cmake/Zentu/ZentuConfig\.cmake|include/ui/(core|paint|controls)/[a-z_]+\.h)$')
[ -z "$extra" ] || fail "installed more than the library: $extra"
for file in bin/Zentu.dll lib/libZentu.dll.a include/ui/core/mdialog.h; do
  [ -f "$work/sdk/$file" ] || fail "$file not installed"
done

cmake -S "$root/examples/hello_dialog" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DCMAKE_PREFIX_PATH="$work/sdk" -DZENTU_CHECK_HEADERS=ON >"$work/configure.log" 2>&1 \
  || { cat "$work/configure.log"; fail "configure failed"; }
cmake --build "$work/build" -j2 >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build failed"; }

. "$root/scripts/wine-env.sh"
cd "$work/build"
wine hello_dialog.exe &
pid=$!
window=
for _ in $(seq 150); do
  window=$(xdotool search --name '^Zentu example$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { kill "$pid"; fail "no window"; }
eval "$(xdotool getwindowgeometry --shell "$window")"
# The OK button's centre lies 76 pixels left of the right edge and 30 above the bottom.
xdotool mousemove $((X + WIDTH - 76)) $((Y + HEIGHT - 30))
sleep 0.5
xdotool click 1
for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "the click did not end the dialog"; }
wait "$pid"
result=$?
[ "$result" -eq 1 ] || fail "exit code $result, not the dialog's result 1"
cd "$root"
rm -rf "$work"
echo "example: built against the installed library, clicked, result 1"
