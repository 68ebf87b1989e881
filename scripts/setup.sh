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
  cmake ninja-build pkg-config python3 gcc g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix libz-mingw-w64-dev
  # drawing the tray program's skin at build time
  python3-pil
  # native libraries of the host build, and the test framework's sources
  libhidapi-dev zlib1g-dev libminizip-dev googletest libgtest-dev
  # Wine, a display for it, and the tools the tests drive it with
  wine wine32:i386 xvfb xauth x11-utils xdotool imagemagick
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

install_packages() {
  local miss
  miss=$(missing_packages)
  [ -z "$miss" ] && [ -f /etc/apt/sources.list.d/calorix-src.sources ] && return 0
  need_root
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  add_deb_src
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  miss=$(missing_packages)
  # shellcheck disable=SC2086
  [ -z "$miss" ] || apt-get install -y -qq --no-install-recommends $miss >/dev/null
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
