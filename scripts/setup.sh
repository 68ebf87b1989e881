#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh machine of this kind.
# Idempotent: every step checks for its result first, so a second run takes seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/.deps"
mkdir -p "$deps"

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "setup: must run as root to install packages" >&2; exit 1; fi; }

# Every package the build, the tests and the main job use is named here: a fresh machine
# installs without recommends, so nothing may come along by accident.
packages=(
  # build tools and the compilers the presets name
  cmake ninja-build ccache pkg-config python3 gcc g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix libz-mingw-w64-dev
  # drawing the tray program's skin at build time
  python3-pil
  # native libraries of the host build, and the test framework's sources
  libhidapi-dev zlib1g-dev libminizip-dev googletest libgtest-dev
  # Wine (its 64-bit half for the prefix that runs the program as 64-bit Windows 10 does),
  # a display for it, and the tools the tests drive it with; the end-to-end tests' runner
  wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick python3-pytest
  # the fonts the library and the test prefix rely on; archive tools for the update tests
  fonts-open-sans fonts-liberation zip unzip
  # the installer (scripts/package.sh)
  nsis
  # https under Wine (its TLS comes from the 32-bit GnuTLS) and the update tests' certificate
  libgnutls30:i386 openssl
  # counting a running program's CPU time and context switches from outside (benchmarks)
  linux-perf
  # fetching and unpacking Debian source packages
  dpkg-dev
)

missing_packages() {
  local p out=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  echo "${out[@]:-}"
}

# Source entries mirror the machine's own binary entries, so no host name lives here.
add_deb_src() {
  local f out="/etc/apt/sources.list.d/calorix-src.sources"
  [ -f "$out" ] && return 0
  : >"$out.tmp"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$f" = "$out" ] && continue
    awk 'BEGIN{RS="";ORS="\n\n"} /Types:[^\n]*deb/ && /debian/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$out.tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >/etc/apt/sources.list.d/calorix-src.list || true
  fi
  mv "$out.tmp" "$out"
}

# apt-get update, tried a few times: a mirror in the middle of a sync serves an index of the
# wrong size for a minute or two. What still fails afterwards is reported in one line and
# left to the install, which works from the indexes that did arrive. Sets `degraded` to
# the suites (dists/ names) whose indexes are incomplete.
degraded=()
update_index() {
  local try out=
  for try in 1 2 3; do
    out=$(apt-get update -qq 2>&1) && ! grep -q '^E:' <<<"$out" && return 0
    [ "$try" -lt 3 ] && sleep 5
  done
  mapfile -t degraded < <(grep -oE '^E: Failed to fetch [^ ]*/dists/[^/ ]+/' <<<"$out" \
    | sed -E 's#.*/dists/([^/]+)/#\1#' | sort -u)
  # "Failed to fetch URL  reason" and "The repository 'X' is not signed." as "URL: reason".
  local what
  what=$(sed -nE -e 's#^E: Failed to fetch [a-z]+://([^ ]+) +([^.?]*).*#\1: \2#p' \
    -e "s#^E: The repository '[a-z]+://([^']+)' is not signed.*#\\1: not signed#p" <<<"$out" \
    | sort -u | paste -sd ';' - | sed 's/;/; /g')
  echo "setup: the package index is incomplete after 3 tries, going on without ${what:-the failed parts}" >&2
}

# Installs the given packages. A suite whose index arrived for one architecture only offers
# amd64 versions whose i386 twins it lacks, and the resolver then refuses the Multi-Arch
# pairs. The second try ranks such suites below every complete one, so that both
# architectures take their versions from the same indexes.
apt_install() {
  local prefs suite rc
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $1 >/dev/null 2>"$deps/apt-install.log" && return 0
  prefs=$(mktemp)
  [ -f /etc/apt/preferences ] && cat /etc/apt/preferences >"$prefs"
  for suite in "${degraded[@]}"; do
    printf '\nPackage: *\nPin: release n=%s\nPin-Priority: 100\n' "$suite" >>"$prefs"
  done
  [ "${#degraded[@]}" -gt 0 ] && echo "setup: installing again with ${degraded[*]} ranked below the complete suites" >&2
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends -o Dir::Etc::preferences="$prefs" $1 \
    >/dev/null 2>"$deps/apt-install.log"
  rc=$?
  rm -f "$prefs"
  return $rc
}

install_packages() {
  local miss
  miss=$(missing_packages)
  [ -z "$miss" ] && [ -f /etc/apt/sources.list.d/calorix-src.sources ] && return 0
  need_root
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  add_deb_src
  export DEBIAN_FRONTEND=noninteractive
  update_index
  miss=$(missing_packages)
  [ -z "$miss" ] && return 0
  apt_install "$miss" || true
  miss=$(missing_packages)
  [ -z "$miss" ] && return 0
  # apt's own reasons, when it gave any (a grep that finds none must not end the script here)
  { grep -E '^E: ' "$deps/apt-install.log" || true; } | tail -n 5 >&2
  echo "setup: could not install: $miss" >&2
  exit 1
}

# Fetches one Debian source package, preferring the pinned release version that the
# security suite may lack, and unpacks it under .deps/<name>.
fetch_source() {
  local name=$1 pinned=$2 dir="$deps/$1"
  [ -f "$dir/.fetched" ] && return 0
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && { apt-get source -qq "$name=$pinned" >/dev/null 2>&1 || apt-get source -qq "$name" >/dev/null; })
  local src
  src=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$src" ] || { echo "setup: could not unpack source of $name" >&2; exit 1; }
  ln -sfn "$src" "$dir/src"
  touch "$dir/.fetched"
}

install_packages
fetch_source hidapi 0.13.1-1
fetch_source zlib 1:1.2.13.dfsg-1
"$root/scripts/wine-prefix.sh"
