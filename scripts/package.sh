#!/usr/bin/env bash
# Builds the Windows installer of Calorix with NSIS and lays out an update-server tree for it.
#
#   scripts/package.sh [--version V] [--out DIR] [--build-dir DIR] [--sign-key FILE]
#
# --version V     the installer's version and the version the update tree offers (default:
#                 the project's, 1.0.0.9); digits and dots, at most 10 characters
# --out DIR       where the results go (default: dist/)
# --build-dir DIR package the program files of this existing win32 build instead of
#                 building the optimized, stripped `release` preset
# --sign-key FILE sign the installer in the update archive with this P-256 private key (PEM,
#                 as `openssl ecparam -name prime256v1 -genkey` writes it); programs built
#                 with its public half start only what it signed. Without it the archive is
#                 unsigned, and no program starts it.
# The same settings can come from CALORIX_PACKAGE_VERSION, CALORIX_PACKAGE_OUT,
# CALORIX_PACKAGE_BUILD and CALORIX_PACKAGE_SIGN_KEY.
#
# Results:
#   DIR/Calorix-V-setup.exe                      the installer (silent with /S)
#   DIR/update/q7rb/software/version             "V", without a line break
#   DIR/update/q7rb/software/Software-V.zip      the installer as Software-V.exe at its root,
#                                                and its signature as Software-V.exe.sig
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=${CALORIX_PACKAGE_VERSION:-}
out=${CALORIX_PACKAGE_OUT:-$root/dist}
build=${CALORIX_PACKAGE_BUILD:-}
sign_key=${CALORIX_PACKAGE_SIGN_KEY:-}
fail() { echo "package: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --version) version=${2:?--version needs a value}; shift 2 ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    --build-dir) build=${2:?--build-dir needs a folder}; shift 2 ;;
    --sign-key) sign_key=${2:?--sign-key needs a key file}; shift 2 ;;
    *) fail "unknown argument $1 (see the head of $0)" ;;
  esac
done

if [ -n "$sign_key" ]; then
  openssl pkey -in "$sign_key" -noout -text 2>/dev/null | grep -q 'prime256v1' \
    || fail "$sign_key is not a P-256 private key in PEM"
fi
"$root/scripts/setup.sh"
if [ -z "$build" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release
  build=$root/build/release
fi
[ -f "$build/CMakeCache.txt" ] || fail "$build is not a build folder"
[ -n "$version" ] || version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
# The program takes a version text of at most 10 characters and puts it in file names.
[[ $version =~ ^[0-9]{1,5}(\.[0-9]{1,5}){0,3}$ && ${#version} -le 10 ]] \
  || fail "version \"$version\" is not 1 to 4 dotted numbers of at most 10 characters"
version4=$version
while [[ $(tr -cd . <<<"$version4" | wc -c) -lt 3 ]]; do version4=$version4.0; done

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$out/.package
rm -rf "$work" && mkdir -p "$work/nsis"
stage=$work/stage
cmake --install "$build" --component program --prefix "$stage" >/dev/null

# The installer copies exactly the staged files; the uninstaller removes exactly those.
(
  cd "$stage"
  current=
  find . -type f | sort | while read -r f; do
    rel=${f#./}
    dir=$(dirname "$rel")
    if [ "$dir" != "$current" ]; then
      if [ "$dir" = . ]; then echo 'SetOutPath "$INSTDIR"'; else echo "SetOutPath \"\$INSTDIR\\${dir//\//\\}\""; fi
      current=$dir
    fi
    echo "File \"$stage/$rel\""
  done >"$work/nsis/install.nsh"
  find . -type f | sort | while read -r f; do rel=${f#./}; echo "Delete \"\$INSTDIR\\${rel//\//\\}\""; done
  find . -mindepth 1 -type d | sort -r | while read -r d; do rel=${d#./}; echo "RMDir \"\$INSTDIR\\${rel//\//\\}\""; done
) >"$work/nsis/uninstall.nsh"

installer=$out/Calorix-$version-setup.exe
makensis -V2 -DVERSION="$version" -DVERSION4="$version4" -DSTAGE="$stage" \
  -DFILES="$work/nsis" -DOUTFILE="$installer" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" \
  "$root/scripts/calorix.nsi" >"$work/makensis.log" || { cat "$work/makensis.log"; fail "makensis failed"; }

# The update flow downloads Software-V.zip, unpacks it and starts Software-V.exe from it.
channel=$out/update/q7rb/software
rm -rf "$channel" && mkdir -p "$channel" "$work/zip"
printf '%s' "$version" >"$channel/version"
program=Software-$version.exe
cp "$installer" "$work/zip/$program"
# The signature covers the program's name, a NUL and its bytes, so that a release cannot be
# offered under another version's name.
if [ -n "$sign_key" ]; then
  { printf '%s\0' "$program"; cat "$work/zip/$program"; } |
    openssl dgst -sha256 -sign "$sign_key" -out "$work/zip/$program.sig" || fail "signing failed"
fi
(cd "$work/zip" && zip -q -X "$channel/Software-$version.zip" "$program"*)

size() { stat -c %s "$1"; }
echo "Calorix.exe $(size "$stage/Calorix.exe") bytes, Zentu.dll $(size "$stage/Zentu.dll") bytes, CalorixDiag.exe $(size "$stage/CalorixDiag.exe") bytes, Kalvaro.exe $(size "$stage/HardwareMonitor/Kalvaro.exe") bytes"
rm -rf "$work"
echo "installer: $installer ($(size "$installer") bytes)"
echo "update tree: $out/update (q7rb/software/version = $version, $([ -n "$sign_key" ] && echo signed || echo unsigned))"
