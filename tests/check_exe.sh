#!/usr/bin/env bash
# Checks the Windows program: 32-bit GUI, small, importing only system DLLs.
set -euo pipefail
exe=$1
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit x86 program"
grep -Eq '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers" || fail "not a GUI program"
size=$(stat -c %s "$exe")
[ "$size" -lt 102400 ] || fail "$size bytes, over 100 KB"
allowed='^(KERNEL32|USER32|COMDLG32|msvcrt)\.dll$'
while read -r dll; do
  grep -Eiq "$allowed" <<<"$dll" || fail "imports $dll"
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
echo "ok: $exe, $size bytes, imports $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
