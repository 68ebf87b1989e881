# Sourced by the scripts: one Xvfb display and one persistent wineserver for the whole run,
# both stopped again on exit.
. "$root/scripts/wine-env.sh"

session_start() {
  if [ -z "${CALORIX_DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 120); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  else
    export DISPLAY="$CALORIX_DISPLAY"
  fi
  wineserver -p
  # Start Wine's background processes (services, explorer) now, detached from any pipe: if
  # the first test started them, they would hold ctest's output pipe open until they exit.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  trap session_stop EXIT
}

session_stop() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
