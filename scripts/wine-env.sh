# Sourced by the scripts: the project-local Wine prefix and its quiet settings. Everything
# runs in the 32-bit prefix, which reports Windows 7; CALORIX_WINEARCH=win64 chooses the
# 64-bit one, which reports Windows 10 and runs the program under WOW64 as a current PC does.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
if [ "${CALORIX_WINEARCH:-win32}" = win64 ]; then
  export WINEARCH=win64 WINEPREFIX="${CALORIX_WINEPREFIX64:-$root/.wine64}"
else
  export WINEARCH=win32 WINEPREFIX="${CALORIX_WINEPREFIX:-$root/.wine}"
fi
export WINEDEBUG=-all
