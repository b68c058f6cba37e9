#!/usr/bin/env bash
# Checks both Windows builds as files: the right processor, GUI, small,
# importing only system DLLs and nothing they forward outside them,
# Terminal-Server-aware, with a manifest and version information that fit
# the build. Usage: tests/check_exe.sh [build directory, default build]
set -euo pipefail
build=${1:-build}
fail() { echo "FAIL: $*" >&2; exit 1; }

check() {
  local exe=$1 format=$2 arch=$3 bits=$4 headers size
  headers=$(x86_64-w64-mingw32-objdump -p "$exe")
  grep -q "file format $format\$" <<<"$headers" || fail "$exe is not $format"
  grep -Eq '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers" || fail "$exe is not a GUI program"
  size=$(stat -c %s "$exe")
  [ "$size" -lt 320000 ] || fail "$exe: $size bytes, over 312 KB"
  # Only DLLs that Windows always takes from System32 (its known DLLs and
  # ntdll), whatever lies beside the program, and the common controls,
  # which the manifest binds to Windows' own side-by-side copy.
  while read -r dll; do
    grep -Eiq '^(KERNEL32|USER32|GDI32|COMDLG32|ADVAPI32|SHELL32|OLE32|OLEAUT32|ntdll|msvcrt)\.dll$' <<<"$dll" && continue
    grep -Eiq '^COMCTL32\.dll$' <<<"$dll" && grep -aq 'name="Microsoft.Windows.Common-Controls"' "$exe" && continue
    fail "$exe imports $dll"
  done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
  # Exports that Windows forwards to a DLL outside the known DLLs, which the
  # loader then looks for beside the program: ADVAPI32's RtlGenRandom,
  # RtlEncryptMemory and RtlDecryptMemory live in cryptbase.dll.
  local forwarded
  forwarded=$(awk '/DLL Name:/ {dll=toupper($3)} NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print dll ":" $NF}' <<<"$headers" |
    grep -E '^ADVAPI32\.DLL:SystemFunction0(36|40|41)$' || true)
  [ -z "$forwarded" ] || fail "$exe imports what Windows forwards outside its known DLLs: $forwarded"
  grep -q 'TERMINAL_SERVICE_AWARE' <<<"$headers" || fail "$exe is not Terminal-Server-aware"
  grep -Eq 'Entry d 0+ 0+ Delay Import Directory' <<<"$headers" || fail "$exe delay-loads a DLL"
  grep -aq "processorArchitecture=\"$arch\"" "$exe" || fail "$exe: the manifest does not name $arch"
  grep -aq 'PerMonitorV2' "$exe" || fail "$exe: the manifest declares no per-monitor DPI awareness"
  strings -el "$exe" | grep -q "($bits)\$" || fail "$exe: the version information does not say $bits"
  echo "ok: $exe, $format, $size bytes, imports $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
}

check "$build/win32/morvane.exe" pei-i386 x86 32-bit
check "$build/win64/morvane.exe" pei-x86-64 amd64 64-bit
