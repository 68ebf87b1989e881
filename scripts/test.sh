#!/usr/bin/env bash
# Builds both presets and runs every test: host tests natively, Windows tests under Wine
# and Xvfb. Ends with one line "N passed, N failed" for the whole run.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" || exit 1
. "$root/scripts/session.sh"

build() {
  cmake --preset "$1" >"build-$1.log" 2>&1 && cmake --build --preset "$1" >>"build-$1.log" 2>&1 \
    || { cat "build-$1.log"; echo "build of $1 failed"; return 1; }
  rm -f "build-$1.log"
}
build host || exit 1
build win32 || exit 1
# What the installer carries, checked by the Windows tests; after win32 it builds from the
# compiler cache.
build release || exit 1
build fuzz || exit 1

session_start
passed=0
failed=0
run_ctest() {
  local out
  out=$(ctest --preset "$1" -j "${CALORIX_JOBS:-2}" 2>&1)
  local rc=$?
  echo "$out" | grep -vE '^\s+Start|^\s*[0-9]+/[0-9]+ Test.* Passed' | sed '/^$/d'
  local line total bad
  line=$(echo "$out" | grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' | tail -n 1)
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
  if [ -z "$line" ]; then total=0; bad=1; fi
  [ $rc -ne 0 ] && [ "${bad:-0}" -eq 0 ] && bad=1
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}
run_ctest host
run_ctest fuzz
run_ctest win32
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
