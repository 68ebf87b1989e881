#!/usr/bin/env bash
# Runs a test program under a copy of the project's Wine prefix that cannot see the host's
# fonts (no fontconfig fonts, no registry entries naming them), so that any font the
# program finds there came from the program itself.
# Usage: paint_fontless_run.sh PREFIX_COPY FONTCONFIG_FILE program [args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
copy=$1
export FONTCONFIG_FILE=$2
shift 2
(
  flock 9
  if [ ! -f "$copy/.made" ]; then
    rm -rf "$copy"
    cp -a "$WINEPREFIX" "$copy"
    # Wine loads the host fonts it once found from these registry values.
    sed -i '/Z:\\\\usr\\\\share\\\\fonts/d' "$copy/system.reg" "$copy/user.reg"
    touch "$copy/.made"
  fi
) 9>"$copy.lock"
export WINEPREFIX=$copy
exec wine "$@"
