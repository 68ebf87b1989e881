# Sourced by the scripts: the project-local Wine prefix and its quiet settings.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="${CALORIX_WINEPREFIX:-$root/.wine}"
export WINEARCH=win32
export WINEDEBUG=-all
