# Sourced by the scripts: one Xvfb display and one persistent wineserver for the whole run,
# both stopped again on exit.
. "$root/scripts/wine-env.sh"

session_start() {
  if [ -z "${CALORIX_DISPLAY:-}" ]; then
    # Xvfb picks a free display itself and writes its number once it listens: a number chosen
    # here from /tmp could be taken by another run starting at the same moment, or by a
    # server outside a chroot, whose abstract socket a chroot's /tmp does not show.
    local numbers
    numbers=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numbers" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$numbers" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n 1 "$numbers")"
    rm -f "$numbers"
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
