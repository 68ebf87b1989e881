#!/usr/bin/env bash
# Creates a project-local Wine prefix once, with the settings the tests rely on: the 32-bit
# one, or with CALORIX_WINEARCH=win64 the 64-bit one that reports Windows 10.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
stamp="$WINEPREFIX/.calorix-ready"
[ -f "$stamp" ] && exit 0
# Tests that run side by side may ask for the same prefix at once.
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$stamp" ] && exit 0
# A failure is said with wineboot's own words (for example "unable to create wineserver
# tmpdir" when TMPDIR names a folder that does not exist), not just as a status.
rm -rf "$WINEPREFIX"
if ! out=$(WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i 2>&1); then
  tail -n 5 <<<"$out" >&2
  echo "setup: could not create the Wine prefix $WINEPREFIX" >&2
  exit 1
fi
wineserver -w
# Without a window manager, hiding a managed top-level window blocks for 2 s.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# Arial must resolve to a known face, not whatever the host happens to have.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf "$fonts/"
cp /usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf "$fonts/"
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
if [ "$WINEARCH" = win64 ]; then
  wine winecfg /v win10 >/dev/null 2>&1
fi
wineserver -w
touch "$stamp"
