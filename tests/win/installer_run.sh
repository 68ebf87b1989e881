#!/usr/bin/env bash
# The installer round trip: scripts/package.sh packs the program files of BUILD_DIR (the
# release build, which is what ships), the update-server tree is checked, and in a copy of
# the project's 64-bit Wine prefix, which reports Windows 10 (its own wineserver: ending
# "Calorix.exe" there touches no other test), a silent install puts every file, the
# Start-menu entry and the uninstall entry where 64-bit Windows puts a 32-bit program's, and
# the installed programs start; a silent uninstall ends a running copy, removes the logon
# task, every installed file, the entry and the folder, and leaves the user's settings and log.
# Usage: installer_run.sh BUILD_DIR WORK_DIR STANDIN_EXE (monitor_standin.exe of a test build)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$2
standin=$3
fail() { echo "installer: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

"$root/scripts/package.sh" --build-dir "$build" --out "$work/dist" >"$work/package.log" 2>&1 \
  || { cat "$work/package.log"; fail "package.sh failed"; }
setup=$work/dist/Calorix-$version-setup.exe
channel=$work/dist/update/q7rb/software
[ "$(cat "$channel/version")" = "$version" ] && [ "$(wc -c <"$channel/version")" -eq ${#version} ] \
  || fail "the version file must hold \"$version\" alone"
[ "$(zipinfo -1 "$channel/Software-$version.zip")" = "Software-$version.exe" ] \
  || fail "the archive must carry Software-$version.exe alone, at its root"
unzip -p "$channel/Software-$version.zip" "Software-$version.exe" | cmp -s - "$setup" \
  || fail "the archive's Software-$version.exe is not the installer"

# What must be installed: the build's program component.
cmake --install "$build" --component program --prefix "$work/expected" >/dev/null || fail "install"
(cd "$work/expected" && find . -type f | sed 's|^\./||' | sort) >"$work/expected.txt"
grep -qx 'skins/theme1/Calorix.ico' "$work/expected.txt" || fail "the skin is not part of the program"
for server in HardwareMonitor HardwareMonitorWin7; do
  grep -qx "$server/Kalvaro.exe" "$work/expected.txt" || fail "the server is not shipped in $server"
done

export CALORIX_WINEARCH=win64
"$root/scripts/wine-prefix.sh" || fail "cannot make the 64-bit prefix"
. "$root/scripts/wine-env.sh"
cp -a "$WINEPREFIX" "$work/prefix" || fail "cannot copy the prefix"
export WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="winemenubuilder.exe=d"  # no menu entries on the host for the link
stop() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$work/prefix"; }
trap stop EXIT
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1  # background processes off the test's pipes

unix() { winepath -u "$1" 2>/dev/null; }
folder=$(unix 'C:\Program Files (x86)\Calorix')
menu=$(unix 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Calorix')
# The task scheduler is a 64-bit service: its store is the native system32, not SysWOW64.
task="$WINEPREFIX/drive_c/windows/system32/tasks/KEM StartupTask"
# A 32-bit program's entry: under WOW6432Node in the native view, absent from the native key.
key='HKLM\Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Calorix'
native_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Calorix'
# A value as `reg query` prints it: "    Name    REG_SZ    text".
value() {
  wine reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' \
    | awk -v n="$2" '$1 == n { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }'
}

wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the silent install failed"
while read -r f; do
  cmp -s "$work/expected/$f" "$folder/$f" || fail "not installed: $f"
done <"$work/expected.txt"
[ -f "$folder/Uninstall.exe" ] || fail "no uninstaller"
[ -f "$menu/Calorix.lnk" ] || fail "no Start-menu entry"
for expected in DisplayName=Calorix "DisplayVersion=$version" \
  'UninstallString="C:\Program Files (x86)\Calorix\Uninstall.exe"' \
  'QuietUninstallString="C:\Program Files (x86)\Calorix\Uninstall.exe" /S'; do
  [ "$(value "$key" "${expected%%=*}")" = "${expected#*=}" ] || fail "uninstall entry: not $expected"
done
wine reg query "$native_key" /reg:64 >/dev/null 2>&1 && fail "the uninstall entry is in the 64-bit view"

# The installed programs start from there: the tool prints its version, the tray program
# writes its start-up line to the user's log.
[ "$(wine "$folder/CalorixDiag.exe" --version </dev/null 2>/dev/null | tr -d '\r')" = "CalorixDiag $version" ] \
  || fail "the installed CalorixDiag.exe does not start"
log="$(unix "$(wine cmd /c 'echo %LOCALAPPDATA%' </dev/null 2>/dev/null | tr -d '\r')")/KEM Files/calorix.log"
lines() { cat "$log" 2>/dev/null | grep -c 'screen_width: '; }
before=$(lines)
(cd / && exec wine "$folder/Calorix.exe" </dev/null >/dev/null 2>&1) &
program=$!
for _ in $(seq 300); do [ "$(lines)" -gt "$before" ] && break; sleep 0.2; done
[ "$(lines)" -gt "$before" ] || fail "the installed Calorix.exe wrote no start-up line"
# Linux ids of this prefix's running servers.
servers() {
  local p
  for p in /proc/[0-9]*; do
    grep -qa 'Kalvaro.exe' "$p/cmdline" 2>/dev/null && grep -qa "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null && echo "${p#/proc/}"
  done
}
for _ in $(seq 100); do [ -n "$(servers)" ] && break; sleep 0.2; done
[ -n "$(servers)" ] || fail "the installed Calorix.exe did not start the installed server"

# What the uninstall must leave or end: the user's settings and log, a registered logon
# task, and a running copy (a stand-in of that name in case the program has ended already)
# with the server it started.
wine reg add 'HKCU\SOFTWARE\KEM' /v tempe_type /t REG_SZ /d 1 /f >/dev/null 2>&1
cp "$log" "$work/log-before"
cat >"$work/task.xml" <<'XML'
<?xml version="1.0"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <Actions><Exec><Command>C:\Program Files (x86)\Calorix\Calorix.exe</Command></Exec></Actions>
</Task>
XML
wine schtasks /create /tn "KEM StartupTask" /xml "$(winepath -w "$work/task.xml")" >/dev/null 2>&1
[ -f "$task" ] || fail "the logon task could not be registered for the test"
mkdir -p "$work/other" && cp "$standin" "$work/other/Calorix.exe"
(exec wine "$work/other/Calorix.exe" --exit-after 300 </dev/null >/dev/null 2>&1) &
running=$!
sleep 1

wine "$folder/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstall failed"
# The uninstaller goes on from a copy in the temp folder, so that it can delete itself.
for _ in $(seq 300); do
  [ -e "$folder" ] || wine reg query "$key" /reg:64 >/dev/null 2>&1 || break
  sleep 0.2
done
[ -e "$folder" ] && fail "left in the program folder: $(cd "$folder" && find . -type f)"
wine reg query "$key" /reg:64 >/dev/null 2>&1 && fail "the uninstall entry is still there"
[ -e "$menu" ] && fail "the Start-menu entry is still there"
[ -e "$task" ] && fail "the logon task is still there"
kill -0 "$running" 2>/dev/null && fail "the running Calorix.exe was not ended"
kill -0 "$program" 2>/dev/null && fail "the installed Calorix.exe still runs"
[ -z "$(servers)" ] || fail "the installed server still runs"
[ "$(value 'HKCU\SOFTWARE\KEM' tempe_type)" = 1 ] || fail "the user's settings were removed"
cmp -s -n "$(stat -c %s "$work/log-before")" "$work/log-before" "$log" || fail "the user's log was removed"
stop
rm -rf "$work"
echo "installer: round trip passed"
