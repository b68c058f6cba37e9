#!/usr/bin/env bash
# Checks both Windows builds as files: the right processor, GUI, small,
# importing only system DLLs, with a manifest and version information that
# fit the build. Usage: tests/check_exe.sh [build directory, default build]
set -euo pipefail
build=${1:-build}
fail() { echo "FAIL: $*" >&2; exit 1; }

check() {
  local exe=$1 format=$2 arch=$3 bits=$4 headers size
  headers=$(x86_64-w64-mingw32-objdump -p "$exe")
  grep -q "file format $format\$" <<<"$headers" || fail "$exe is not $format"
  grep -Eq '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers" || fail "$exe is not a GUI program"
  size=$(stat -c %s "$exe")
  [ "$size" -lt 204800 ] || fail "$exe: $size bytes, over 200 KB"
  while read -r dll; do
    grep -Eiq '^(KERNEL32|USER32|GDI32|COMCTL32|COMDLG32|ADVAPI32|SHELL32|ntdll|msvcrt)\.dll$' <<<"$dll" || fail "$exe imports $dll"
  done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
  grep -aq "processorArchitecture=\"$arch\"" "$exe" || fail "$exe: the manifest does not name $arch"
  grep -aq 'PerMonitorV2' "$exe" || fail "$exe: the manifest declares no per-monitor DPI awareness"
  strings -el "$exe" | grep -q "($bits)\$" || fail "$exe: the version information does not say $bits"
  echo "ok: $exe, $format, $size bytes, imports $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
}

check "$build/win32/morvane.exe" pei-i386 x86 32-bit
check "$build/win64/morvane.exe" pei-x86-64 amd64 64-bit
