#!/usr/bin/env bash
# Times a large cleaning under Wine, side by side with Wine's own tools in
# the same run: reg export of the tree, the registry editor's import of the
# deletion entries, Morvane's backup (from confirming cleaning until the
# registry editor starts) and its whole cleaning (until the closing
# message). The tree, HKLM\SOFTWARE\MorvaneBench in the 64-bit view, has
# keys in groups of 51, three values each. A running Wine program keeps
# Wine's server up for every step, so that none pays for its start.
# Usage: bench/cleaning.sh [keys, default 102001]; BUILD=win32 times the
# 32-bit program (default win64, which no host runs through an emulator).
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-102001}
subs=50
tops=$(((keys - 1) / (subs + 1)))
[ "$tops" -ge 1 ] || { echo "at least $((subs + 2)) keys" >&2; exit 1; }
keys=$((1 + tops * (subs + 1)))
MORVANE_OWN_DISPLAY=1
source tests/wine/driver.sh
wine_use_build "${BUILD:-win64}"
wine_setup
trap wine_teardown EXIT

drive=$WINEPREFIX/drive_c
awk -v tops="$tops" -v subs="$subs" -v script="$drive/tree.reg" -v report="$drive/report.txt" -f bench/make_tree.awk
if host_runs_32bit && [ "${BUILD:-win64}" = win32 ]; then compiler=i686-w64-mingw32-g++-win32; else compiler=x86_64-w64-mingw32-g++-win32; fi
printf '%s\n' '#include <windows.h>' 'int main() { Sleep(INFINITE); }' >"$WORK/keep_running.cpp"
"$compiler" -o "$drive/keep_running.exe" "$WORK/keep_running.cpp"
"$WINE" 'C:\keep_running.exe' >/dev/null 2>&1 &
MORVANE_KEEP_SERVER=1
# Wine's own tools, 64-bit like the tree's view: the plain loader may start
# the 32-bit ones.
wine64=/usr/lib/wine/wine64
mkdir -p "$WORK/run"
now() { date +%s%N; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e9 }'; }
make_tree() { timeout 600 "$wine64" reg import 'C:\tree.reg' /reg:64 >/dev/null 2>&1 || die "cannot make the tree"; }
tree_exists() { timeout 60 "$wine64" reg query 'HKLM\SOFTWARE\MorvaneBench' /reg:64 >/dev/null 2>&1; }

start=$(now); make_tree; made=$(($(now) - start))
start=$(now)
timeout 600 "$wine64" reg export 'HKLM\SOFTWARE\MorvaneBench' 'C:\export.reg' /reg:64 /y >/dev/null 2>&1 || die "reg export failed"
exported=$(($(now) - start))

morvane_start "$WORK/run"
expect_message "'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string." Return
answer_dialog 'C:\report.txt'
expect_message "'morvane.reg' has been created, do you want to edit it (at your own risk)?" n
next_message
[ "$SHOWN" = "$keys registry key(s) found parsing report.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg', close it NOW." ] ||
  die "question '$SHOWN'"
question=$(wait_window "$CAPTION")
sleep 0.3
xdotool windowfocus --sync "$question" key Return
start=$(now)
# The progress window: the first window under the caption after the question.
while :; do
  window=$(xdotool search --onlyvisible --name "^$CAPTION\$" 2>/dev/null | grep -vx "$question" | head -n 1) || true
  [ -z "$window" ] || break
  [ $(($(now) - start)) -lt 60000000000 ] || die "no progress window"
done
shown=$(($(now) - start))
until pgrep -f 'regedit.exe' >/dev/null; do
  sleep 0.05
  [ $(($(now) - start)) -lt 1800000000000 ] || die "the registry editor did not start"
done
backed_up=$(($(now) - start))
while [ "$(grep -c 'MSGBOX_OnInit' "$WORK/trace")" -lt 4 ]; do sleep 0.05; done
cleaned=$(($(now) - start))
next_message
[[ $SHOWN == "Cleaning finished.\\n\\nListed keys: $keys\\nGone: $keys\\nAlready absent: 0\\nStill there: 0\\n"* ]] ||
  die "message '$SHOWN'"
answer_message Return
morvane_expect_exit 0
! tree_exists || die "the tree is still there"

script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
cp "$script" "$drive/entries.reg"
make_tree
start=$(now)
timeout 600 "$wine64" 'C:\windows\regedit.exe' /s 'C:\entries.reg' >/dev/null 2>&1 || die "the registry editor's import failed"
imported=$(($(now) - start))
! tree_exists || die "the registry editor left the tree"

echo "build: ${MORVANE_EXE#"$PWD"/} ($WINE_KIND)"
echo "tree: $keys keys, 3 values each (made by reg import in $(seconds "$made") s)"
echo "Morvane's progress window after confirming:  $(seconds "$shown") s (the time includes finding it)"
echo "reg export of the tree:                      $(seconds "$exported") s"
echo "the registry editor's import of the entries: $(seconds "$imported") s"
awk -v b="$backed_up" -v c="$cleaned" -v e="$exported" -v i="$imported" 'BEGIN {
  printf "Morvane, the backup:                         %.1f s, %.2f x reg export\n", b / 1e9, b / e
  printf "Morvane, the whole cleaning:                 %.1f s, %.2f x (reg export + import)\n", c / 1e9, c / (e + i)
}'
