#!/usr/bin/env bash
# The main job: builds everything, then runs morvane.exe under Wine on the
# bundled sample report, in a throwaway Wine prefix that holds the keys,
# values and files the report lists, and shows morvane.reg, the list of
# files, which keys are gone and what the Recycle Bin holds.
#
# With a display (DISPLAY set), you answer the dialogs yourself: pick
# C:\regshot-report.txt. Without one, a virtual display is used, the script
# answers (No to editing, OK to cleaning) and saves a screenshot of each
# dialog into build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh >/dev/null
echo "== built build/native/morvane, build/win32/morvane.exe and build/win64/morvane.exe"

source tests/wine/driver.sh
interactive=${DISPLAY:+yes}
echo "== making a Wine prefix"
wine_setup
trap wine_teardown EXIT

cp samples/regshot-report.txt "$WINEPREFIX/drive_c/regshot-report.txt"
# The keys of the sample's added section, as RegShot would have found them.
mapfile -t keys < <(tr -d '\r' <samples/regshot-report.txt | sed -n '/^Keys added/,/^$/p' | grep '^HK')
# The sample is an x64 report: its HKLM keys are in the 64-bit view, which
# a 32-bit reg.exe names with /reg:64. HKU is the same in both views.
view_of() { case $1 in HKLM\\*) echo /reg:64 ;; esac; }
for key in "${keys[@]}"; do reg_add "$key" $(view_of "$key") /f; done
# A value it added under a key that was there, and the values it changed,
# as they are after the installation.
reg_add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v 'Fernwick Notes' \
  /d 'C:\Program Files\Fernwick Notes\notes.exe /tray' /reg:64 /f
reg_add 'HKLM\SOFTWARE\Classes\.txt' /ve /d FernwickNotes.Document /reg:64 /f
reg_add 'HKU\S-1-5-21-0-0-0-1000\Environment' /v Path /t REG_EXPAND_SZ \
  /d '%USERPROFILE%\AppData\Local\Microsoft\WindowsApps;C:\Program Files\Fernwick Notes' /f
# Its files, with the sizes and times that the report lists, and Wine's
# Recycle Bin (the desktop's trash) in the demo's own folder.
export XDG_DATA_HOME=$WORK/xdg
mkdir -p "$XDG_DATA_HOME"
tr -d '\r' <samples/regshot-report.txt | sed -n '/^Files added/,/^$/p' | grep -A1 '^C:' | grep -v '^--$' |
  while read -r name && read -r data; do
    file=$WINEPREFIX/drive_c/${name#C:\\}
    file=${file//\\//}
    mkdir -p "$(dirname "$file")"
    head -c "${data##*, }" /dev/zero >"$file"
    touch -d "${data%%, *} UTC" "$file"
  done

# Started from a folder of drive C:, the open-file dialog opens at C:\, as a
# Windows user sees it.
run_dir=$WINEPREFIX/drive_c/Morvane
mkdir -p "$run_dir"
if [ -n "$interactive" ]; then
  echo "== starting morvane.exe on your display: pick C:\\regshot-report.txt"
  (cd "$run_dir" && "$WINE" "$MORVANE_EXE" 2>/dev/null) || true
  timeout 300 wineserver -w || true
else
  export SCREENSHOT_DIR=$PWD/build/demo
  rm -rf "$SCREENSHOT_DIR" && mkdir -p "$SCREENSHOT_DIR"
  echo "== running morvane.exe in a virtual display, screenshots in build/demo/"
  morvane_start "$run_dir"
  expect_message "'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string." Return
  answer_dialog 'C:\regshot-report.txt'
  expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" n
  expect_message "6 registry key(s) found parsing report.\\n1 value(s) added under keys that were already there go too.\\n2 value(s) the installation changed are set back.\\n3 file(s) and 1 folder(s) the installation added go to the Recycle Bin.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg' or 'morvane-files.txt', close them NOW." Return
  next_message
  echo "== the program's last message (as far as Wine's trace shows it; build/demo/message-4.png shows it whole)"
  # Wine's trace writes a backslash as \\ and a line break as \n.
  sed 's/\\\\/\x01/g; s/\\n/\n/g; s/\x01/\\/g' <<<"$SHOWN"
  answer_message Return
  morvane_expect_exit 0
  # The dialog beside the messages, in the order shown.
  convert \( "$SCREENSHOT_DIR/dialog.png" \) \( "$SCREENSHOT_DIR"/message-[1-4].png -background black -gravity north -splice 0x6 \
    -gravity west -append \) -background black -gravity north +append -bordercolor black -border 6 \
    "$SCREENSHOT_DIR/dialogs.png"
  echo "== screenshots in build/demo/, put together in build/demo/dialogs.png"
fi

script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
echo "== morvane.reg"
# UTF-16LE (with a byte-order mark) or 8-bit text, as the report was.
show_text() {
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16LE -t UTF-8 "$1" | sed '1s/^\xEF\xBB\xBF//' | tr -d '\r'
  else
    tr -d '\r' <"$1"
  fi
}
if [ -f "$script" ]; then show_text "$script"; else echo "(not written)"; fi
echo "== morvane-files.txt"
list=$(unix_path "$(wine_temp_dir)\\morvane-files.txt")
if [ -f "$list" ]; then show_text "$list"; else echo "(not written)"; fi
echo "== what the Recycle Bin (Wine's trash) holds"
(cd "$XDG_DATA_HOME/Trash/files" 2>/dev/null && find . -mindepth 1 | sort) || echo "(nothing)"
echo "== the keys of the report's added section"
for key in "${keys[@]}"; do
  if key_exists "$key" $(view_of "$key"); then echo "still there: $key"; else echo "gone:        $key"; fi
done
echo "== the values the installation changed, after cleaning"
echo "HKLM\\SOFTWARE\\Classes\\.txt (default): $(reg_value 'HKLM\SOFTWARE\Classes\.txt' '' /reg:64)"
echo "HKU\\S-1-5-21-0-0-0-1000\\Environment Path: $(reg_value 'HKU\S-1-5-21-0-0-0-1000\Environment' Path /reg:64)"
