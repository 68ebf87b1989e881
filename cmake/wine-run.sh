#!/usr/bin/env bash
# Runs a cross-built executable under the project's Wine prefix (ctest's emulator).
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
exec wine "$@"
