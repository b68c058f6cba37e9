#!/usr/bin/env bash
# Times the files step under Wine against the shell's own call on the same
# list, in one run: Morvane from confirming the cleaning to its closing
# message, on a report of a new folder that holds FOLDERS folders of FILES
# files each and nothing else; then the same items made again and moved by
# SHFileOperationW, the files in one call and the folders in a second.
# Usage: bench/files.sh [folders, default 100] [files a folder, default 100];
# BUILD=win32 times the 32-bit program (default win64, which no host runs
# through an emulator).
set -euo pipefail
cd "$(dirname "$0")/.."
folders=${1:-100}
per_folder=${2:-100}
MORVANE_OWN_DISPLAY=1
source tests/wine/driver.sh
wine_use_build "${BUILD:-win64}"
wine_setup
trap wine_teardown EXIT
export XDG_DATA_HOME=$WORK/xdg
mkdir -p "$XDG_DATA_HOME"

drive=$WINEPREFIX/drive_c
if host_runs_32bit && [ "${BUILD:-win64}" = win32 ]; then compiler=i686-w64-mingw32-g++-win32; else compiler=x86_64-w64-mingw32-g++-win32; fi
printf '%s\n' '#include <windows.h>' 'int main() { Sleep(INFINITE); }' >"$WORK/keep_running.cpp"
"$compiler" -o "$drive/keep_running.exe" "$WORK/keep_running.cpp"
"$compiler" -O2 -static -o "$drive/shell_delete.exe" bench/shell_delete.cpp
"$WINE" 'C:\keep_running.exe' >/dev/null 2>&1 &
MORVANE_KEEP_SERVER=1

top='C:\Program Files\MorvaneFiles'
stamp=$(date -u -d '1 hour ago' '+%Y-%m-%d %H:%M:%S')
make_items() {
  local d
  for d in $(seq -w 1 "$folders"); do
    mkdir -p "$drive/Program Files/MorvaneFiles/d$d"
    (cd "$drive/Program Files/MorvaneFiles/d$d" && seq -w 1 "$per_folder" | sed 's/^/f/; s/$/.dat/' |
      xargs sh -c 'for f; do printf data >"$f"; done' sh)
  done
  find "$drive/Program Files/MorvaneFiles" -type f -exec touch -d "$stamp UTC" {} +
}
# RegShot's lines for them: folders, then files with time, attributes, size.
top=$top awk -v folders="$folders" -v files="$per_folder" -v stamp="$stamp" 'BEGIN {
  top = ENVIRON["top"]
  n = folders * files
  d_form = "%s\\d%0" length(folders) "d"
  f_form = d_form "\\f%0" length(files) "d.dat"
  printf "Regshot 1.9.0 x64 ANSI\r\nComments: \r\nDatetime: 2026/1/1 00:00:00  ,  2026/1/1 00:01:00\r\n\r\n"
  printf "----------------------------------\r\nFolders added: %d\r\n----------------------------------\r\n", folders + 1
  printf "%s\r\n", top
  for (d = 1; d <= folders; d++) printf d_form "\r\n", top, d
  printf "\r\n----------------------------------\r\nFiles added: %d\r\n----------------------------------\r\n", n
  for (d = 1; d <= folders; d++) for (f = 1; f <= files; f++)
    printf f_form "\r\n%s, 0x00000020, 4\r\n", top, d, f, stamp
  printf "\r\n"
  # The same items for the shell: files, then folders, deepest first.
  for (d = 1; d <= folders; d++) for (f = 1; f <= files; f++)
    printf f_form "\n", top, d, f > "/dev/stderr"
  for (d = 1; d <= folders; d++) printf d_form "\\\n", top, d > "/dev/stderr"
  printf "%s\\\n", top > "/dev/stderr"
}' >"$drive/report.txt" 2>"$drive/shell-list.txt"
items=$((folders * per_folder + folders + 1))
now() { date +%s%N; }

make_items
mkdir -p "$WORK/run"
morvane_start "$WORK/run"
expect_message "'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string." Return
answer_dialog 'C:\report.txt'
expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" n
next_message
[[ $SHOWN == "0 registry key(s) found parsing report.\\n$((folders * per_folder)) file(s) and $((folders + 1)) folder(s)"* ]] ||
  die "question '$SHOWN'"
answer_message Return
start=$(now)
while [ "$(grep -c MSGBOX_OnInit "$WORK/trace")" -lt 4 ]; do sleep 0.01; done
morvane=$(($(now) - start))
next_message
[[ $SHOWN == *"\\nListed files and folders: $items\\nIn the Recycle Bin: $items\\n"* ]] || die "message '$SHOWN'"
answer_message Return
morvane_expect_exit 0
[ ! -e "$drive/Program Files/MorvaneFiles" ] || die "Morvane left the folder"
entries=$(find "$XDG_DATA_HOME/Trash/info" -name '*.trashinfo' | wc -l)

rm -rf "$XDG_DATA_HOME/Trash"
make_items
start=$(now)
timeout 1800 "$WINE" 'C:\shell_delete.exe' 'C:\shell-list.txt' >/dev/null 2>&1 || die "the shell's call failed"
shell=$(($(now) - start))
[ ! -e "$drive/Program Files/MorvaneFiles" ] || die "the shell left the folder"
shell_entries=$(find "$XDG_DATA_HOME/Trash/info" -name '*.trashinfo' | wc -l)

echo "build: ${MORVANE_EXE#"$PWD"/} ($WINE_KIND)"
echo "items: $items ($folders folders of $per_folder files, under one new folder)"
awk -v m="$morvane" -v s="$shell" -v me="$entries" -v se="$shell_entries" 'BEGIN {
  printf "Morvane, confirming to the closing message: %.2f s, %.2f x the shell; %d entries in the Recycle Bin\n", m / 1e9, m / s, me
  printf "the shell, files then folders:              %.2f s; %d entries in the Recycle Bin\n", s / 1e9, se
}'
