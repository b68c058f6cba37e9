#!/usr/bin/env bash
# The Windows program under Wine: dialogs driven from outside, keys really
# deleted by the registry editor, and the ones that must stay still there.
# Every scenario runs with build/win32/morvane.exe in a 64-bit prefix
# (WoW64) and, side by side, with build/win64/morvane.exe; where the host
# cannot run 32-bit code, with the 64-bit build alone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
MORVANE_OWN_DISPLAY=1
source "$here/driver.sh"
builds=(win64)
host_runs_32bit && builds=(win32 win64)
# The two builds run side by side, each in a prefix and display of its own:
# most of the time is spent waiting on Wine, and CI has two cores.
# MORVANE_E2E_BUILD=win32 or win64 runs one build alone.
if [ -n "${MORVANE_E2E_BUILD:-}" ]; then
  builds=("$MORVANE_E2E_BUILD")
elif [ "${#builds[@]}" -gt 1 ]; then
  logs=$(mktemp -d) pids=()
  # The download that two scenarios unpack, built once: both runs would
  # build it in the same place.
  if (cd "$project_root" && bash scripts/release.sh >"$logs/release.log" 2>&1); then
    export MORVANE_RELEASE_BUILT=1
  else
    tail "$logs/release.log"
  fi
  for build in "${builds[@]}"; do
    MORVANE_E2E_BUILD=$build bash "$0" >"$logs/$build" 2>&1 &
    pids+=($!)
  done
  status=0 total_passed=0 total_failed=0
  for i in "${!builds[@]}"; do
    build=${builds[$i]}
    wait "${pids[$i]}" || status=1
    cat "$logs/$build"
    counts=$(sed -n 's/^wine: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' "$logs/$build")
    [ -n "$counts" ] || { status=1; echo "wine: the $build run ended before its count"; }
    read -r p f <<<"${counts:-0 0}"
    total_passed=$((total_passed + p)) total_failed=$((total_failed + f))
  done
  rm -rf "$logs"
  echo "wine, both builds: $total_passed passed, $total_failed failed"
  exit "$status"
fi
wine_use_build "${builds[0]}"
wine_setup
trap wine_teardown EXIT
# Wine's Recycle Bin is the desktop's trash: the test's own.
export XDG_DATA_HOME=$WORK/xdg
mkdir -p "$XDG_DATA_HOME"

TAGS_MISSING="'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string."
EDIT="'morvane.reg' has been created, do you want to edit it (at your own risk)?"
cleaning() { echo "$1 registry key(s) found parsing report.\\n${2:-}\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg', close it NOW."; }

USER_SID='S-1-5-21-0-0-0-1000'
added=('HKLM\SOFTWARE\MorvaneTest\App' 'HKU\'"$USER_SID"'\Software\MorvaneTest\App')
for i in $(seq 1 10); do added+=("HKLM\\SOFTWARE\\MorvaneTest\\App\\Part $i"); done
staying=('HKCU\Software\MorvaneTest\Keep' 'HKLM\SOFTWARE\MorvaneTest\Sibling' 'HKLM\SOFTWARE\MorvaneUnrelated\Data')

# The plain reg.exe may be the 32-bit one: every key of HKLM names the view
# in which the report's x64 build saw it. HKU and HKCU are the same in both.
view_of() { case $1 in HKLM\\*) echo /reg:64 ;; esac; }
add_key() { reg_add "$1" $(view_of "$1") /f; }
has_key() { key_exists "$1" $(view_of "$1"); }

crlf() { printf '%s\r\n' "$@"; }
to_utf16() { iconv -f UTF-8 -t UTF-16LE; }
# The values section of the reports: a value that is not there.
report_values=('HKLM\SOFTWARE\MorvaneTest\Sibling\Value: 1')
# A report in RegShot's layout, titled $1, whose added section lists $2...
# and whose values section lists report_values.
write_report() {
  local title=$1
  shift
  crlf "$title" 'Comments: ' '' '----------------------------------' 'Keys deleted: 1' \
       '----------------------------------' 'HKLM\SOFTWARE\MorvaneTest\Sibling' '' \
       '----------------------------------' "Keys added: $(($# + 2))" '----------------------------------'
  crlf "$@"
  crlf 'HKCU\Software\Decoy\HKLM\SOFTWARE\MorvaneUnrelated' 'HKCU\Software\MorvaneTest\Keep' ''
  crlf '----------------------------------' "Values added: ${#report_values[@]}" '----------------------------------' \
       "${report_values[@]}" ''
}
# The script those keys give, as an ANSI report would, with the comment
# that the value that is not there gets.
write_script() {
  local key
  crlf 'Windows Registry Editor Version 5.00' ''
  for key in "$@"; do
    key=${key/#HKLM\\/HKEY_LOCAL_MACHINE\\}
    crlf "[-${key/#HKU\\/HKEY_USERS\\}]"
  done
  crlf '' '; Values added under keys that were already there' ''
  crlf "; No entry, no such value in the registry now: ${report_values[0]}"
}
report=$WORK/prefix/drive_c/report.txt
write_report 'Regshot 1.9.0 x64 ANSI' "${added[@]}" >"$report"
expected_script=$WORK/expected.reg
write_script "${added[@]}" >"$expected_script"

# A regedit.exe and a notepad.exe beside morvane.exe and in the current
# directory, which leave a mark when they run: the real ones must run instead.
run_dir=$WORK/run
app_dir=$WORK/prefix/drive_c/app
mkdir -p "$run_dir" "$app_dir"
planted_mark=$WORK/prefix/drive_c/planted-ran
if host_runs_32bit; then compiler=i686-w64-mingw32-g++-win32; else compiler=x86_64-w64-mingw32-g++-win32; fi
printf '%s\n' '#include <windows.h>' 'int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {' \
  '  CloseHandle(CreateFileA("C:\\planted-ran", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));' '  return 0;' '}' \
  >"$WORK/planted.cpp"
"$compiler" -mwindows -o "$WORK/planted.exe" "$WORK/planted.cpp" || die "cannot build the planted program"
"$compiler" -O1 -static -o "$WORK/prefix/drive_c/dump_keys.exe" "$here/dump_keys.cpp" || die "cannot build dump_keys"
printf '%s\n' '#include <windows.h>' 'int main() { Sleep(INFINITE); }' >"$WORK/keep_running.cpp"
"$compiler" -o "$WORK/prefix/drive_c/keep_running.exe" "$WORK/keep_running.cpp" || die "cannot build keep_running"
# Keeps the file it is given open, as a running program keeps its log:
# others may read it, but neither delete nor move it. C:\held once it is.
printf '%s\n' '#include <windows.h>' 'int main(int, char** argv) {' \
  '  if (CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0) == INVALID_HANDLE_VALUE) return 1;' \
  '  CloseHandle(CreateFileA("C:\\held", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));' \
  '  Sleep(INFINITE);' '}' >"$WORK/hold_open.cpp"
"$compiler" -static -o "$WORK/prefix/drive_c/hold_open.exe" "$WORK/hold_open.cpp" || die "cannot build hold_open"
"$compiler" -static -o "$WORK/prefix/drive_c/message_text.exe" "$here/message_text.cpp" || die "cannot build message_text"
dump_keys() { timeout 120 "$WINE" 'C:\dump_keys.exe' "$@" 2>/dev/null | tr -d '\r'; }
for dir in "$app_dir" "$run_dir"; do
  cp "$WORK/planted.exe" "$dir/regedit.exe"
  cp "$WORK/planted.exe" "$dir/notepad.exe"
done

# The message after cleaning (its first line FIRST_LINE, a pattern, where it
# is not the usual one): the counts of listed, gone, already absent and
# still there keys, and the backup's path, which must be a file (its
# Unix path is left in BACKUP).
expect_result() {
  next_message
  local ending='\\nOpening the backup restores the deleted keys( and values)?(, and the data of the values set back)?\.$'
  [ -z "$SHOWN_CUT" ] || ending='\\nOpening the backup restores'
  local pattern='^'"${FIRST_LINE:-Cleaning finished\\.}"'\\n\\nListed keys: '"$1"'\\nGone: '"$2"'\\nAlready absent: '"$3"'\\nStill there: '"$4"'\\n(.*\\n)?\\nBackup: (.*)'"$ending"
  [[ $SHOWN =~ $pattern ]] || die "message '$SHOWN', expected the counts $*"
  local path
  path=$(sed 's/\\\\/\\/g' <<<"${BASH_REMATCH[2]}")
  [[ $path == *'\Morvane\Backups\morvane-backup-'????????-??????.reg ]] || die "the backup $path is not in Morvane\Backups"
  BACKUP_WINDOWS=$path
  BACKUP=$(unix_path "$path")
  [ -f "$BACKUP" ] || die "no backup at $path"
  answer_message Return
}

make_keys() {
  for key in "${added[@]}" "${staying[@]}"; do add_key "$key"; done
}
passed=0 failed=0

# MORVANE_E2E_ONLY, a pattern, runs only the scenarios whose names match it.
scenario() {
  [[ $1 == *${MORVANE_E2E_ONLY:-}* ]] || return 0
  echo "-- $1"
  if ( set -e; "$2" ); then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1"
    # A program left waiting on a message box would hold up the next ones.
    timeout 30 wineserver -k 2>/dev/null || true
  fi
}

clean_run() {
  make_keys
  local script
  script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
  rm -f "$script"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\report.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning 12)" Return
  expect_result 12 12 0 0
  morvane_expect_exit 0
  cmp "$script" "$expected_script" || die "morvane.reg differs from the expected script"
  for key in "${added[@]}"; do ! has_key "$key" || die "$key is still there"; done
  for key in "${staying[@]}"; do has_key "$key" || die "$key is gone"; done
  [ ! -e "$planted_mark" ] || die "a planted program ran"
}

# A line the user adds to morvane.reg at the edit offer, as in Notepad: the
# question before cleaning lists it. Cancel, its default, leaves every key
# in place; OK deletes that key too, and the backup holds it. The copy the
# registry editor imported from is gone afterwards.
own_entry() {
  local script own='HKLM\SOFTWARE\MorvaneUnrelated\Data' answer key id
  local line='[-HKEY_LOCAL_MACHINE\SOFTWARE\MorvaneUnrelated\Data]' question
  question="These entries are not as Morvane wrote them: they were added or changed.\\n\\nmorvane.reg, line 19: "
  question+="${line//\\/\\\\}\\n\\nCarry them out as your own, at your own risk? Cancel leaves everything untouched."
  script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
  for answer in cancel ok; do
    make_keys
    morvane_start "$run_dir"
    expect_message "$TAGS_MISSING" Return
    answer_dialog 'C:\report.txt'
    next_message
    [ "$SHOWN" = "$EDIT" ] || die "message '$SHOWN', expected '$EDIT'"
    crlf "$line" >>"$script"
    answer_message n
    expect_message "$(cleaning 12)" Return
    next_message
    [ "$SHOWN" = "$question" ] || die "message '$SHOWN', expected '$question'"
    id=$(wait_window "$CAPTION")
    sleep 0.3
    screenshot "own-entry-$answer" "$id"
    if [ "$answer" = cancel ]; then
      xdotool windowfocus --sync "$id" key Return
      morvane_expect_exit 0
      for key in "${added[@]}" "${staying[@]}"; do has_key "$key" || die "Cancel: $key is gone"; done
    else
      xdotool windowfocus --sync "$id" key shift+Tab space
      expect_result 13 13 0 0
      [[ $SHOWN == *'\nEntries of your own, carried out as you agreed: 1\n'* ]] || die "'$SHOWN' does not count the entry"
      morvane_expect_exit 0
      ! has_key "$own" || die "OK: $own is still there"
      iconv -f UTF-16LE -t UTF-8 "$BACKUP" | grep -qiF "[${line:2}" || die "the backup does not hold $own"
      add_key "$own"
    fi
    ! ls "$WORK/prefix/drive_c/ProgramData" | grep -q '^Morvane-' || die "the imported copy was left behind"
  done
}

# The download, unpacked, started from its folder, on a Wine in the locale
# of each argument (LOCALE:CODEPAGE; the locale sets the ANSI code page): an
# ANSI report whose headings RegShot wrote in that language is cleaned
# whole, keys, values added, values set back and files, with nothing but
# the tags.ini of the zip.
other_languages() {
  local c=$WORK/prefix/drive_c locale code_page headings report top='HKLM\SOFTWARE\MorvaneLang' exe question
  if [ -z "${RELEASE_DIR:-}" ]; then
    [ -n "${MORVANE_RELEASE_BUILT:-}" ] ||
      (cd "$project_root" && bash scripts/release.sh >"$WORK/release.log" 2>&1) || { tail "$WORK/release.log"; die "no release"; }
    rm -rf "$c/release"
    mkdir -p "$c/release"
    unzip -q "$project_root"/build/release/morvane-*.zip -d "$c/release"
    RELEASE_DIR=$(echo "$c"/release/morvane-*)
  fi
  exe=morvane.exe
  [ "$build" = win32 ] || exe=morvane-x64.exe
  for locale in "$@"; do
    code_page=${locale#*:}
    case $locale in
      de*) headings=('Schlüssel hinzugefügt:' 'Werte hinzugefügt:' 'Werte geändert:' 'Ordner hinzugefügt:' 'Dateien hinzugefügt:') ;;
      *) headings=('Новые разделы:' 'Новые параметры:' 'Измененные параметры:' 'Новые папки:' 'Новые файлы:') ;;
    esac
    reg_add "$top\\App" /reg:64 /f
    reg_add "$top\\Shared" /v Added /d added /reg:64 /f
    reg_add "$top\\Shared" /v Changed /d new /reg:64 /f
    mkdir -p "$c/Program Files/MorvaneLang"
    printf 'app' >"$c/Program Files/MorvaneLang/app.exe"
    rm -rf "$XDG_DATA_HOME/Trash"
    local line='----------------------------------'
    { crlf 'Regshot 1.9.0 x64 ANSI' '' "$line" "${headings[0]} 1" "$line" "$top\\App" '' \
        "$line" "${headings[1]} 1" "$line" "$top\\Shared\\Added: \"added\"" '' \
        "$line" "${headings[2]} 2" "$line" "$top\\Shared\\Changed: \"old\"" "$top\\Shared\\Changed: \"new\"" '' \
        "$line" "${headings[3]} 1" "$line" 'C:\Program Files\MorvaneLang' 0x00000010 '' \
        "$line" "${headings[4]} 1" "$line"
      file_lines 'C:\Program Files\MorvaneLang\app.exe'
      crlf ''; } | iconv -f UTF-8 -t "$code_page" >"$c/lang.txt"
    MORVANE_EXE=$RELEASE_DIR/$exe MORVANE_LOCALE=${locale%:*} morvane_start "$RELEASE_DIR"
    answer_dialog 'C:\lang.txt'
    # No, as its label reads in any language.
    expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" 'Tab space'
    question='1 registry key(s) found parsing report.\n1 value(s) added under keys that were already there go too.\n'
    question+='1 value(s) the installation changed are set back.\n'
    question+='1 file(s) and 1 folder(s) the installation added go to the Recycle Bin.\n\nCONTINUE WITH CLEANING?\n'
    question+="Warning: if you are editing 'morvane.reg' or 'morvane-files.txt', close them NOW."
    expect_message "$question" Return
    next_message
    [[ $SHOWN == 'Cleaning finished.\n\nListed keys: 1\nGone: 1\nAlready absent: 0\nStill there: 0\n\nListed values: 1\nGone: 1\n'* ]] ||
      die "$locale: message '$SHOWN'"
    echo "   $locale, $code_page report: $SHOWN"
    answer_message Return
    morvane_expect_exit 0
    ! has_key "$top\\App" || die "$locale: the added key is still there"
    ! key_exists "$top\\Shared" /v Added /reg:64 || die "$locale: the added value is still there"
    [ "$(reg_value "$top\\Shared" Changed /reg:64)" = 'REG_SZ old' ] || die "$locale: the changed value is not set back"
    [ ! -e "$c/Program Files/MorvaneLang" ] || die "$locale: the folder is still there"
    [ "$(cat "$XDG_DATA_HOME/Trash/files/MorvaneLang/app.exe" 2>/dev/null)" = app ] ||
      die "$locale: the folder is not in the Recycle Bin"
    reg delete "$top" /reg:64 /f || true
  done
  rm -rf "$XDG_DATA_HOME/Trash"
}

german() { other_languages de_DE.UTF-8:CP1252; }
russian() { other_languages ru_RU.UTF-8:CP1251; }

# Key names that only a Unicode report carries, from RegShot's Unicode build
# (UTF-16LE, no byte-order mark). Notepad is opened on the script first.
unicode_names() {
  local parent='HKLM\SOFTWARE\MorvaneUnicode' names=('Café' 'Привет' '日本語') keys=() name script window
  for name in "${names[@]}"; do keys+=("$parent\\$name"); done
  { printf '\xff\xfe'; write_script "${keys[@]}" "$parent\\Keep" | sed 's/\[-/[/' | to_utf16; } \
    >"$WORK/prefix/drive_c/unicode-keys.reg"
  reg import 'C:\unicode-keys.reg' /reg:64 || die "cannot create the Unicode keys"
  write_report 'Regshot 1.9.0 x64 Unicode' "${keys[@]}" | to_utf16 >"$WORK/prefix/drive_c/unicode.txt"
  { printf '\xff\xfe'; write_script "${keys[@]}" | to_utf16; } >"$WORK/expected-unicode.reg"
  script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\unicode.txt'
  expect_message "$EDIT" y
  window=$(wait_window 'morvane.reg - Notepad')
  expect_message "$(cleaning 3)" Return
  expect_result 3 3 0 0
  xdotool windowfocus --sync "$window" key alt+F4
  morvane_expect_exit 0
  cmp "$script" "$WORK/expected-unicode.reg" || die "morvane.reg differs from the expected UTF-16 script"
  reg export "$parent" 'C:\unicode-left.reg' /reg:64 /y || die "cannot export $parent"
  local left
  left=$(iconv -f UTF-16LE -t UTF-8 "$WORK/prefix/drive_c/unicode-left.reg" | grep '^\[' | tr -d '\r')
  for name in "${names[@]}"; do ! grep -qF "\\$name]" <<<"$left" || die "$name is still there"; done
  grep -qF 'MorvaneUnicode\Keep]' <<<"$left" || die "the key that was not added is gone"
  [ ! -e "$planted_mark" ] || die "a planted program ran"
}

# The same path in both registry views: the report's title says in which
# one RegShot saw it.
registry_views() {
  local key='HKLM\SOFTWARE\MorvaneView\Key' title
  for title in 'Regshot 1.9.0 x64 Unicode' 'Regshot 1.9.0 x86 Unicode'; do
    reg_add "$key" /reg:64 /f
    reg_add "$key" /reg:32 /f
    write_report "$title" "$key" | to_utf16 >"$WORK/prefix/drive_c/view.txt"
    morvane_start "$run_dir"
    expect_message "$TAGS_MISSING" Return
    answer_dialog 'C:\view.txt'
    expect_message "$EDIT" n
    expect_message "$(cleaning 1)" Return
    if [ "$title" = 'Regshot 1.9.0 x64 Unicode' ] || host_runs_32bit; then
      expect_result 1 1 0 0
    else
      FIRST_LINE='The registry editor could not be started\.' expect_result 1 0 0 1
    fi
    morvane_expect_exit 0
    if [ "$title" = 'Regshot 1.9.0 x64 Unicode' ]; then
      ! key_exists "$key" /reg:64 || die "x64 report: the 64-bit view's key is still there"
      key_exists "$key" /reg:32 || die "x64 report: the 32-bit view's key is gone"
    else
      key_exists "$key" /reg:64 || die "x86 report: the 64-bit view's key is gone"
      if host_runs_32bit; then
        ! key_exists "$key" /reg:32 || die "x86 report: the 32-bit view's key is still there"
      else
        echo "   ($(host_describe): Wine's 32-bit registry editor cannot start, the 32-bit view's key stays)"
      fi
    fi
    reg delete "$key" /reg:64 /f || true
    reg delete "$key" /reg:32 /f || true
  done
}

# Keys holding every kind of value, a 1 MB one among them, Unicode names and a
# deep tree, made by reg.exe in view $1 (64 or 32), and a key of the same path
# in view $2 holding a value of its own.
make_backup_keys() {
  local app='HKEY_LOCAL_MACHINE\SOFTWARE\MorvaneBackup\App' deep i
  deep=$app\\Deep
  {
    printf '\xff\xfe'
    {
      crlf 'Windows Registry Editor Version 5.00' '' "[$app]" '@="default"' '"quote\"back\\slash"="a\\b\"c"' \
        '"empty"=""' '"unterminated"=hex(1):41,00' '"nothing"=hex(1):' '"line break"=hex(1):61,00,0d,00,0a,00,00,00' \
        '"expand"=hex(2):25,00,50,00,25,00,00,00' '"multi"=hex(7):61,00,00,00,62,00,00,00,00,00' \
        '"dword"=dword:8000002a' '"qword"=hex(b):01,00,00,00,00,00,00,ff' '"binary"=hex:00,ff' '"none"=hex(0):' \
        '"odd type"=hex(12345):aa,bb' '"Привет"="日本語"'
      printf '"big"=hex:'
      awk 'BEGIN { for (i = 0; i < 1048576; i++) printf "%02x%s", (i * 7 + 3) % 256, i < 1048575 ? "," : "\r\n" }'
      crlf '' "[$app\\Ключ]" '"x"=dword:00000001' ''
      for i in $(seq 1 40); do
        deep=$deep\\L$i
        crlf "[$deep]" "\"level\"=\"$i\"" ''
      done
    } | to_utf16
  } >"$WORK/prefix/drive_c/backup-keys.reg"
  reg import 'C:\backup-keys.reg' "/reg:$1" || die "cannot make the keys to back up"
  reg_add 'HKLM\SOFTWARE\MorvaneBackup\App' /v twin /d 'the other view' "/reg:$2" /f
}

# Cleans the keys that a report titled $1 lists in view $2, then imports the
# backup with the 64-bit reg.exe: the keys must be back byte for byte, as
# reg.exe exports them, and the other view's key ($3) never touched.
backup_round_trip() {
  local title=$1 view=$2 other=$3 top='HKLM\SOFTWARE\MorvaneBackup'
  reg delete "$top" /reg:64 /f || true
  reg delete "$top" /reg:32 /f || true
  make_backup_keys "$view" "$other"
  reg export "$top" 'C:\before.reg' "/reg:$view" /y || die "cannot export the keys"
  dump_keys 'SOFTWARE\MorvaneBackup' "$view" >"$WORK/before.txt"
  [ "$(grep -c '^\[' "$WORK/before.txt")" -eq 44 ] || die "dump_keys did not list the keys made"
  write_report "$title" "$top\\App" "$top\\App\\Deep" "$top\\Missing" >"$WORK/prefix/drive_c/backup-report.txt"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\backup-report.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning 3)" Return
  expect_result 3 2 1 0
  morvane_expect_exit 0
  ! key_exists "$top\\App" "/reg:$view" || die "the listed key is still there"
  key_exists "$top\\App" "/reg:$other" || die "the other view's key is gone"
  local saved
  saved=$(iconv -f UTF-16LE -t UTF-8 "$BACKUP" | tr -d '\r')
  ! grep -q 'the other view' <<<"$saved" || die "the backup holds the other view's key"
  if [ "$view" = 32 ]; then
    grep -qixF '[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\MorvaneBackup\App]' <<<"$saved" ||
      die "the backup does not name the 32-bit view's key where the 64-bit registry has it"
  fi
  reg import "$BACKUP_WINDOWS" /reg:64 || die "reg import of the backup failed"
  reg export "$top" 'C:\after.reg' "/reg:$view" /y || die "cannot export the restored keys"
  cmp "$WORK/prefix/drive_c/before.reg" "$WORK/prefix/drive_c/after.reg" || die "the restored keys differ"
  dump_keys 'SOFTWARE\MorvaneBackup' "$view" >"$WORK/after.txt"
  cmp "$WORK/before.txt" "$WORK/after.txt" || die "the restored values differ in their bytes"
}

# Runs $1 for an x86 report, in the 32-bit view, where Wine's 32-bit
# registry editor can start.
x86_report() {
  if host_runs_32bit; then
    "$1" 'Regshot 1.9.0 x86 ANSI' 32 64
  else
    echo "   ($(host_describe): Wine's 32-bit registry editor cannot start, so no x86 report is cleaned)"
  fi
}

backup_x64() { backup_round_trip 'Regshot 1.9.0 x64 ANSI' 64 32; }
backup_x86() { x86_report backup_round_trip; }

# A report that lists, besides an installation's keys, a user's hive loaded
# between the shots and two kinds of Windows' own state: only the
# installation's keys go, the others stay, shown commented in morvane.reg.
# Wine keeps no hive for an unknown user: a program left running keeps its
# keys alive until they are checked.
safe_by_default() {
  local hive='HKU\S-1-5-21-0-0-0-1002' installed kept state script keeper key
  installed=('HKLM\SOFTWARE\MorvaneSafe\App' "HKU\\$USER_SID\\Software\\MorvaneSafe\\App")
  state=('HKLM\SYSTEM\CurrentControlSet\Enum\MorvaneSafe\Device'
    "HKU\\$USER_SID\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\{MorvaneSafe}\\Count")
  kept=("$hive" "$hive\\Software\\MorvaneSafe" "${state[@]}")
  "$WINE" 'C:\keep_running.exe' >/dev/null 2>&1 &
  keeper=$!
  for key in "${installed[@]}" "${kept[@]}"; do add_key "$key"; done
  write_report 'Regshot 1.9.0 x64 ANSI' "${kept[0]}" "${installed[0]}" "${kept[1]}" "${state[0]}" "${installed[1]}" \
    "${state[1]}" >"$WORK/prefix/drive_c/safe.txt"
  script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
  MORVANE_KEEP_SERVER=1
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\safe.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning 2 "4 more are kept: they hold Windows' own state (see morvane.reg).\\n")" Return
  expect_result 2 2 0 0
  morvane_expect_exit 0
  for key in "${installed[@]}"; do ! has_key "$key" || die "$key is still there"; done
  for key in "${kept[@]}"; do has_key "$key" || die "$key is gone"; done
  local reason="Remove the ';' below to delete it anyway."
  {
    crlf 'Windows Registry Editor Version 5.00' ''
    crlf "; Kept: the root of a hive loaded between the shots. $reason" ';[-HKEY_USERS\S-1-5-21-0-0-0-1002]'
    crlf '[-HKEY_LOCAL_MACHINE\SOFTWARE\MorvaneSafe\App]'
    crlf "; Kept: in a hive loaded between the shots. $reason" ';[-HKEY_USERS\S-1-5-21-0-0-0-1002\Software\MorvaneSafe]'
    crlf "; Kept: Windows' own state (devices and drivers). $reason"
    crlf ';[-HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\MorvaneSafe\Device]'
    crlf "[-HKEY_USERS\\$USER_SID\\Software\\MorvaneSafe\\App]"
    crlf "; Kept: Windows' own state (Windows' caches of what the user did). $reason"
    crlf ";[-HKEY_USERS\\$USER_SID\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\{MorvaneSafe}\\Count]"
    crlf '' '; Values added under keys that were already there' ''
    crlf "; No entry, no such value in the registry now: ${report_values[0]}"
  } >"$WORK/expected-safe.reg"
  cmp "$script" "$WORK/expected-safe.reg" || die "morvane.reg does not show the kept keys as expected"
  unset MORVANE_KEEP_SERVER
  kill "$keeper" 2>/dev/null || true
  wait "$keeper" 2>/dev/null || true
  reg delete 'HKLM\SYSTEM\CurrentControlSet\Enum\MorvaneSafe' /reg:64 /f || true
}

# Values that an installation added under the Run key, which was there
# before, in view $2 of a report titled $1: they go, with the key it added,
# while their neighbour and the same name in the other view ($3) stay; the
# backup brings them back exactly.
values_round_trip() {
  local title=$1 view=$2 other=$3 run='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' added_key name
  added_key='HKLM\SOFTWARE\MorvaneValues'
  reg_add "$run" /v MorvaneApp /d 'C:\Program Files\Morvane Test\app.exe' "/reg:$view" /f
  reg_add "$run" /v 'Odd\Name: 1' /t REG_DWORD /d 5 "/reg:$view" /f
  reg_add "$run" /v MorvaneNeighbour /d stays "/reg:$view" /f
  reg_add "$run" /v MorvaneApp /d 'the other view' "/reg:$other" /f
  reg export "$run" 'C:\run-before.reg' "/reg:$view" /y || die "cannot export the Run key"
  reg_add "$added_key" "/reg:$view" /f
  local report_values=("$run\\MorvaneApp: \"C:\\Program Files\\Morvane Test\\app.exe\"" "$run\\Odd\\Name: 1: 0x00000005")
  write_report "$title" "$added_key" >"$WORK/prefix/drive_c/values.txt"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\values.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning 1 '2 value(s) added under keys that were already there go too.\n')" Return
  expect_result 1 1 0 0
  [[ $SHOWN == *'\n\nListed values: 2\nGone: 2\nAlready absent: 0\nStill there: 0\n\n'* ]] ||
    die "message '$SHOWN' does not count the values as gone"
  morvane_expect_exit 0
  ! key_exists "$added_key" "/reg:$view" || die "the added key is still there"
  ! key_exists "$run" /v MorvaneApp "/reg:$view" || die "the added value is still there"
  ! key_exists "$run" /v 'Odd\Name: 1' "/reg:$view" || die "the value named with ': ' is still there"
  key_exists "$run" /v MorvaneNeighbour "/reg:$view" || die "the neighbouring value is gone"
  key_exists "$run" /v MorvaneApp "/reg:$other" || die "the other view's value is gone"
  reg import "$BACKUP_WINDOWS" /reg:64 || die "reg import of the backup failed"
  reg export "$run" 'C:\run-after.reg' "/reg:$view" /y || die "cannot export the restored Run key"
  cmp "$WORK/prefix/drive_c/run-before.reg" "$WORK/prefix/drive_c/run-after.reg" || die "the restored values differ"
  key_exists "$added_key" "/reg:$view" || die "the backup does not restore the added key"
  reg delete "$added_key" "/reg:$view" /f || true
  for name in MorvaneApp 'Odd\Name: 1' MorvaneNeighbour; do reg delete "$run" /v "$name" "/reg:$view" /f || true; done
  reg delete "$run" /v MorvaneApp "/reg:$other" /f || true
}

values_x64() { values_round_trip 'Regshot 1.9.0 x64 ANSI' 64 32; }
values_x86() { x86_report values_round_trip; }

# Values that an installation changed, set back from the old lines of the
# "Values modified" section of a report titled $1, in view $2: an expandable
# string like PATH under an Environment key and, for an x64 report, a file
# type's default value. The same path in the other view ($3) stays as it
# is, and importing the backup gives back the installation's data.
changed_round_trip() {
  local title=$1 view=$2 other=$3 environment='HKLM\SOFTWARE\MorvaneChanged\Environment'
  local file_type='HKLM\SOFTWARE\Classes\.morvanetest' old_path='%SystemRoot%\system32;C:\Old'
  local new_path="$old_path;C:\Program Files\Morvane Test" changed=(Path) lines count=1
  reg_add "$environment" /v Path /t REG_EXPAND_SZ /d "$new_path" "/reg:$view" /f
  reg_add "$environment" /v Path /t REG_EXPAND_SZ /d 'the other view' "/reg:$other" /f
  lines=("$environment\\Path: \"$old_path\"" "$environment\\Path: \"$new_path\"")
  if [ "$view" = 64 ]; then
    reg_add "$file_type" /ve /d MorvaneTest.Document "/reg:$view" /f
    lines+=("$file_type\\: \"txtfile\"" "$file_type\\: \"MorvaneTest.Document\"")
    count=2
  fi
  reg export 'HKLM\SOFTWARE\MorvaneChanged' 'C:\changed-before.reg' "/reg:$view" /y || die "cannot export the key"
  { crlf "$title" 'Comments: ' '' '----------------------------------' "Values modified: $((2 * count))" \
      '----------------------------------'
    crlf "${lines[@]}" ''; } | if [[ $title == *Unicode ]]; then to_utf16; else cat; fi >"$WORK/prefix/drive_c/changed.txt"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\changed.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning 0 "$count value(s) the installation changed are set back.\\n")" Return
  expect_result 0 0 0 0
  [[ $SHOWN == *"\\n\\nValues to set back: $count\\nSet back: $count\\nAlready as before: 0\\nStill changed: 0\\n"* ]] ||
    die "message '$SHOWN' does not count the values as set back"
  morvane_expect_exit 0
  [ "$(reg_value "$environment" Path "/reg:$view")" = "REG_EXPAND_SZ $old_path" ] || die "Path is not set back"
  [ "$(reg_value "$environment" Path "/reg:$other")" = 'REG_EXPAND_SZ the other view' ] || die "the other view changed"
  if [ "$view" = 64 ]; then
    [ "$(reg_value "$file_type" '' "/reg:$view")" = 'REG_SZ txtfile' ] || die "the file type is not set back"
  fi
  reg import "$BACKUP_WINDOWS" /reg:64 || die "reg import of the backup failed"
  reg export 'HKLM\SOFTWARE\MorvaneChanged' 'C:\changed-after.reg' "/reg:$view" /y || die "cannot export the key"
  cmp "$WORK/prefix/drive_c/changed-before.reg" "$WORK/prefix/drive_c/changed-after.reg" ||
    die "the backup does not give back the installation's data"
  [ "$view" = 32 ] || [ "$(reg_value "$file_type" '' /reg:64)" = 'REG_SZ MorvaneTest.Document' ] ||
    die "the backup does not give back the file type"
  reg delete 'HKLM\SOFTWARE\MorvaneChanged' /reg:64 /f || true
  reg delete 'HKLM\SOFTWARE\MorvaneChanged' /reg:32 /f || true
  reg delete "$file_type" /reg:64 /f || true
}

changed_x64() { changed_round_trip 'Regshot 1.9.0 x64 Unicode' 64 32; }

# The Unix name of a path of drive C:, without winepath: the 32-bit one
# would name the 32-bit system folder for system32.
drive_c_path() {
  local path=${1#C:\\}
  echo "$WORK/prefix/drive_c/${path//\\//}"
}

# RegShot's line for a file: its name, then its last write time in UTC,
# attributes and size; RegShot 1.8.2 and 1.9.0 (NAMES_ONLY) write the name
# alone.
file_lines() {
  local unix
  unix=$(drive_c_path "$1")
  if [ -n "${NAMES_ONLY:-}" ]; then crlf "$1"; return; fi
  printf '%s\r\n%s, 0x00000020, %s\r\n' "$1" "$(date -u -r "$unix" '+%Y-%m-%d %H:%M:%S')" "$(stat -c %s "$unix")"
}

# Files and folders that an installation added, from an x64 report with
# non-ASCII names: they go to the Recycle Bin (Wine's is the desktop's
# trash), whole folders as one, but for a folder in which the user saved a
# file since, a file changed since, a prefetch file, and the 32-bit system
# folder's file of the same name as the one added to the 64-bit one.
files_to_recycle_bin() {
  local c=$WORK/prefix/drive_c app='C:\Program Files\MorvaneApp' data='C:\Program Files\MorvaneData'
  local shared='C:\ProgramData\MorvaneShared' prefetch='C:\windows\Prefetch\MORVANEAPP.EXE-0123ABCD.pf'
  local shortcut='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Morvane App.lnk'
  local dll='C:\windows\system32\morvanetest.dll' file unicode='Ключ-日本.txt' trash=$XDG_DATA_HOME/Trash/files
  mkdir -p "$c/Program Files/MorvaneApp/sub" "$c/Program Files/MorvaneData" "$c/ProgramData/MorvaneShared" \
    "$c/windows/Prefetch" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs"
  rm -rf "$XDG_DATA_HOME/Trash"
  local files=("$app\\app.exe" "$app\\sub\\data.dat" "$app\\$unicode" "$data\\settings.dat" "$shared\\added.txt"
    "$shared\\config.ini" "$prefetch" "$shortcut" "$dll")
  for file in "${files[@]}" 'C:\windows\syswow64\morvanetest.dll'; do
    printf '%s' "$file" >"$(drive_c_path "$file")" || die "cannot make $file"
  done
  # The shots, in local time as RegShot writes them: the second a minute
  # from now, so that only what is written later counts as changed since.
  local now shot attributes=0x00000010
  now=$(date +%s)
  shot=$(date -d "@$((now + 60))" '+%Y/%-m/%-d %H:%M:%S')
  [ -z "${NAMES_ONLY:-}" ] || attributes=
  { crlf 'Regshot 1.9.0 x64 Unicode' 'Comments: ' "Datetime: $(date -d "@$now" '+%Y/%-m/%-d %H:%M:%S')  ,  $shot" '' \
      '----------------------------------' 'Folders added: 3' '----------------------------------'
    for file in "$app" "$app\\sub" "$data"; do crlf "$file" ${attributes:+"$attributes"}; done
    crlf '' '----------------------------------' "Files added: ${#files[@]}" '----------------------------------'
    for file in "${files[@]}"; do file_lines "$file"; done
    crlf ''; } | to_utf16 >"$c/files.txt"
  printf 'saved since' >"$c/Program Files/MorvaneData/notes.txt"
  printf 'changed since' >"$c/ProgramData/MorvaneShared/config.ini"
  touch -d "@$((now + 120))" "$c/ProgramData/MorvaneShared/config.ini"
  # Moving a file of the 64-bit System32 loads shell DLLs: those planted
  # beside morvane.exe must not be the ones.
  for planted in propsys windows.storage; do
    "$dll_compiler" -shared -static -s -o "$app_dir/$planted.dll" "$here/planted_dll.cpp" || die "cannot build $planted.dll"
    rm -f "$app_dir/$planted.dll.loaded"
  done
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\files.txt'
  expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" n
  expect_message "0 registry key(s) found parsing report.\\n8 file(s) and 3 folder(s) the installation added go to the Recycle Bin.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg' or 'morvane-files.txt', close them NOW." Return
  next_message
  [[ $SHOWN == 'Cleaning finished.\n\nListed keys: 0\n'*'\nListed files and folders: 11\nIn the Recycle Bin: 9\n'* ]] ||
    die "message '$SHOWN' does not count the files"
  answer_message Return
  morvane_expect_exit 0
  for file in "$app" "$data\\settings.dat" "$shared\\added.txt" "$shortcut" "$dll"; do
    [ ! -e "$(drive_c_path "$file")" ] || die "$file is still there"
  done
  for file in "$data\\notes.txt" "$shared\\config.ini" "$prefetch" 'C:\windows\syswow64\morvanetest.dll'; do
    [ -e "$(drive_c_path "$file")" ] || die "$file is gone"
  done
  # Every file removed is in the trash, with its own bytes.
  for file in "$app\\app.exe" "$app\\sub\\data.dat" "$app\\$unicode" "$data\\settings.dat" "$shared\\added.txt" \
    "$shortcut" "$dll"; do
    case $file in "$app"*) file_in_trash=$trash/MorvaneApp${file#"$app"} ;; *) file_in_trash=$trash/${file##*\\} ;; esac
    file_in_trash=${file_in_trash//\\//}
    [ "$(cat "$file_in_trash" 2>/dev/null)" = "$file" ] || die "$file is not in the Recycle Bin"
  done
  for planted in propsys windows.storage; do
    [ ! -e "$app_dir/$planted.dll.loaded" ] || die "the $planted.dll planted beside morvane.exe was loaded"
    rm -f "$app_dir/$planted.dll"
  done
  rm -rf "$c/Program Files/MorvaneData" "$c/ProgramData/MorvaneShared" "$(drive_c_path "$prefetch")" \
    "$c/windows/syswow64/morvanetest.dll" "$XDG_DATA_HOME/Trash"
}
changed_x86() { x86_report changed_round_trip; }
files_by_name() { NAMES_ONLY=yes files_to_recycle_bin; }

# A listed folder that a running program holds (one of the installation's,
# without a window, left running on the default answer), beside one that is free,
# and one on a drive D: whose Recycle Bin refuses it (Wine's trash cannot
# take an item of another file system, and its shell then offers to delete
# it for good): the free one goes to the Recycle Bin, although the refused
# one comes first in the shell's operation; the held one stays whole and
# is named "in use"; the refused one stays; and the shell never asks to
# delete anything for good: no window but the program's own appears.
held_folder() {
  local held='C:\Program Files\MorvaneHeld' free='C:\Program Files\MorvaneFree' file runner watcher unexpected
  local c=$WORK/prefix/drive_c trash=$XDG_DATA_HOME/Trash/files d elsewhere='D:\MorvaneElsewhere'
  d=$(mktemp -d /dev/shm/morvane-d.XXXXXX)
  ln -sfn "$d" "$WINEPREFIX/dosdevices/d:"
  mkdir -p "$d/MorvaneElsewhere"
  printf 'elsewhere' >"$d/MorvaneElsewhere/other.dat"
  mkdir -p "$c/Program Files/MorvaneHeld" "$c/Program Files/MorvaneFree"
  rm -rf "$XDG_DATA_HOME/Trash"
  cp "$c/hold_open.exe" "$c/Program Files/MorvaneHeld/held.exe"
  printf 'data' >"$c/Program Files/MorvaneHeld/held.dat"
  printf 'free' >"$c/Program Files/MorvaneFree/free.dat"
  { crlf 'Regshot 1.9.0 x64 Unicode' 'Comments: ' '' '----------------------------------' 'Folders added: 3' \
      '----------------------------------' "$held" 0x00000010 "$elsewhere" 0x00000010 "$free" 0x00000010 '' \
      '----------------------------------' 'Files added: 4' '----------------------------------'
    printf '%s\r\n%s, 0x00000020, 9\r\n' "$elsewhere\\other.dat" "$(date -u -r "$d/MorvaneElsewhere/other.dat" '+%Y-%m-%d %H:%M:%S')"
    for file in "$held\\held.exe" "$held\\held.dat" "$free\\free.dat"; do file_lines "$file"; done
    crlf ''; } | to_utf16 >"$c/held.txt"
  rm -f "$c/held"
  "$WINE" "$held\\held.exe" "$held\\held.dat" >/dev/null 2>&1 &
  runner=$!
  for _ in $(seq 1 $((WAIT_SECONDS * 5))); do [ -e "$c/held" ] && break; sleep 0.2; done
  [ -e "$c/held" ] || die "the program that holds $held\\held.dat did not start"
  # Bounded, and ended with the scenario however it ends: a watcher left
  # behind would keep asking a later virtual display of the same number.
  for _ in $(seq 1 $((WAIT_SECONDS * 20))); do
    xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null
    sleep 0.2
  done >"$WORK/windows" &
  watcher=$!
  # shellcheck disable=SC2064 # the values now, while they are in scope
  trap "kill $watcher $runner 2>/dev/null || true; rm -rf '$d' '$WINEPREFIX/dosdevices/d:'" EXIT
  MORVANE_KEEP_SERVER=1
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\held.txt'
  expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" n
  expect_message "0 registry key(s) found parsing report.\\n4 file(s) and 3 folder(s) the installation added go to the Recycle Bin.\\n1 program(s) and 0 service(s) of the installation are running: they are stopped first.\\nheld.exe\\n1 file(s) and 0 folder(s) in use are moved out when Windows restarts.\\nC:\\\\Program Files\\\\MorvaneHeld\\\\held.dat\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg' or 'morvane-files.txt', close them NOW." Return
  # It has no window to be asked with; No, the default, leaves it running.
  expect_message 'These programs of the installation did not close when asked:\n\nC:\\Program Files\\MorvaneHeld\\held.exe\n\nEnd them now? Work they have not saved is lost. No leaves them running, and their files stay.' Return
  next_message
  # As far as Wine's trace shows it.
  closing='Cleaning finished.\n\nListed keys: 0\nGone: 0\nAlready absent: 0\nStill there: 0\n\nListed files and folders: 7'
  closing+='\nIn the Recycle Bin: 2\nC:\\Program Files\\MorvaneFree\\\nC:\\Program Files\\MorvaneFree\\free.dat\n'
  closing+='Already absent: 0\nMoved out when Windows restarts: 3\nC:\\Program Files\\MorvaneHeld\\\n'
  closing+='C:\\Program Files\\MorvaneHeld\\held.exe\nC:\\Program Files\\MorvaneHeld\\held.dat\nKept: 2\n'
  closing+='D:\\MorvaneElsewhere\\: the Recycle Bin did not take it\n'
  [ "${closing:0:${#SHOWN}}" = "$SHOWN" ] && [ ${#SHOWN} -gt 240 ] ||
    die "message '$SHOWN', expected '$closing...'"
  answer_message Return
  morvane_expect_exit 0
  kill "$watcher" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  unexpected=$(sort -u "$WORK/windows" | grep -vxF -e "$CAPTION" -e "$DIALOG_TITLE" -e 'Default IME' || true)
  [ -z "$unexpected" ] || die "windows that are not the program's own appeared: $unexpected"
  for file in held.exe held.dat; do
    [ -f "$c/Program Files/MorvaneHeld/$file" ] || die "$held\\$file is gone"
  done
  [ ! -e "$c/Program Files/MorvaneFree" ] || die "$free is still there"
  [ "$(cat "$trash/MorvaneFree/free.dat" 2>/dev/null)" = free ] || die "$free is not in the Recycle Bin"
  [ ! -e "$trash/MorvaneHeld" ] && [ ! -e "$trash/held.exe" ] || die "part of $held went to the Recycle Bin"
  [ "$(cat "$d/MorvaneElsewhere/other.dat" 2>/dev/null)" = elsewhere ] || die "$elsewhere\\other.dat is gone"
  rm -rf "$d" "$WINEPREFIX/dosdevices/d:"
  unset MORVANE_KEEP_SERVER
  # Ended, and the Wine server let end by itself, as after every scenario.
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  timeout 120 wineserver -w || true
  trap - EXIT
  rm -rf "$c/Program Files/MorvaneHeld" "$XDG_DATA_HOME/Trash"
}

# A cleaning that takes a while shows the progress window, under the
# program's caption, while no message box is open.
progress_window() {
  local tree=$WORK/prefix/drive_c/tree.reg keys=$((1 + 120 * 51)) seen='' id
  awk -v tops=120 -v subs=50 -v script="$tree" -v report="$WORK/prefix/drive_c/large.txt" -f "$project_root/bench/make_tree.awk"
  reg import 'C:\tree.reg' /reg:64 || die "cannot make the tree"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\large.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning "$keys")" Return
  while [ "$(grep -c 'MSGBOX_OnInit' "$WORK/trace")" -lt 4 ]; do
    id=$(xdotool search --onlyvisible --name "^$CAPTION\$" 2>/dev/null | head -n 1) || true
    if [ -n "$id" ] && [ -z "$seen" ] && [ "$(grep -c 'MSGBOX_OnInit' "$WORK/trace")" -lt 4 ]; then
      seen=$id
      sleep 0.3
      screenshot progress "$id"
    fi
    sleep 0.1
  done
  [ -n "$seen" ] || die "no progress window was shown while cleaning"
  expect_result "$keys" "$keys" 0 0
  morvane_expect_exit 0
  ! key_exists 'HKLM\SOFTWARE\MorvaneBench' /reg:64 || die "the tree is still there"
}

cancel_dialog() {
  local script
  script=$(unix_path "$(wine_temp_dir)\\morvane.reg")
  rm -f "$script"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog ''
  expect_message 'Error opening input file.' Return
  morvane_expect_exit 0
  [ ! -e "$script" ] || die "a script was written"
}

cancel_cleaning() {
  make_keys
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\report.txt'
  expect_message "$EDIT" n
  expect_message "$(cleaning 12)" Escape
  morvane_expect_exit 0
  cmp "$(unix_path "$(wine_temp_dir)\\morvane.reg")" "$expected_script" || die "the script is not left in place"
  for key in "${added[@]}" "${staying[@]}"; do has_key "$key" || die "$key is gone"; done
}

temp_with_space() {
  mkdir -p "$WORK/prefix/drive_c/Temp Dir With Space"
  reg_add 'HKCU\Environment' /v TEMP /d 'C:\Temp Dir With Space' /f
  reg_add 'HKCU\Environment' /v TMP /d 'C:\Temp Dir With Space' /f
  [ "$(wine_temp_dir)" = 'C:\Temp Dir With Space' ] || die "the temporary directory was not changed"
  clean_run
  [ -f "$WORK/prefix/drive_c/Temp Dir With Space/morvane.reg" ] || die "no script in the spaced directory"
}

source "$here/left_running.sh"
source "$here/scheduled_tasks.sh"
source "$here/restart_moves.sh"

temp_dir=$(wine_temp_dir)
for build in "${builds[@]}"; do
  [ "$build" = "${builds[0]}" ] || wine_use_build "$build"
  cp "$MORVANE_EXE" "$app_dir/morvane.exe"
  MORVANE_EXE=$app_dir/morvane.exe
  if [ "$build" = win32 ]; then dll_compiler=i686-w64-mingw32-g++-win32; else dll_compiler=x86_64-w64-mingw32-g++-win32; fi
  # Programs of the other kind than the build's, where the host runs both:
  # the 32-bit program must see 64-bit ones through WOW64.
  other_compiler=x86_64-w64-mingw32-g++-win32
  [ "$build" = win32 ] || ! host_runs_32bit || other_compiler=i686-w64-mingw32-g++-win32
  "$other_compiler" -static -s -o "$WORK/prefix/drive_c/left_running.exe" "$here/left_running.cpp" -lole32 ||
    die "cannot build left_running"
  reg_add 'HKCU\Environment' /v TEMP /d "$temp_dir" /f
  reg_add 'HKCU\Environment' /v TMP /d "$temp_dir" /f
  scenario "$build: clean after confirmation" clean_run
  scenario "$build: hives and Windows' own state are kept" safe_by_default
  scenario "$build: values added under an existing key, x64 report" values_x64
  scenario "$build: values added under an existing key, x86 report" values_x86
  scenario "$build: values the installation changed, set back, x64 report" changed_x64
  scenario "$build: values the installation changed, set back, x86 report" changed_x86
  scenario "$build: files and folders added, to the Recycle Bin" files_to_recycle_bin
  scenario "$build: files and folders RegShot 1.9.0 lists by name, to the Recycle Bin" files_by_name
  scenario "$build: a folder a program holds stays, and nothing is deleted for good" held_folder
  scenario "$build: a service and programs left running are stopped first" left_running
  scenario "$build: scheduled tasks of the installation, through the Task Scheduler" scheduled_tasks
  scenario "$build: what stays in use moves out when Windows restarts" in_use_at_restart
  scenario "$build: a progress window while a large cleaning works" progress_window
  scenario "$build: cancel in the open-file dialog" cancel_dialog
  scenario "$build: cancel on the confirmation" cancel_cleaning
  scenario "$build: an entry the user added, listed before cleaning" own_entry
  scenario "$build: temporary directory with a space" temp_with_space
  scenario "$build: Unicode report with non-ASCII key names, edited first" unicode_names
  scenario "$build: a German report, with the download alone" german
  scenario "$build: a Russian report, with the download alone" russian
  scenario "$build: the registry view that the report names" registry_views
  scenario "$build: the backup restores an x64 report's keys exactly" backup_x64
  scenario "$build: the backup restores an x86 report's keys exactly" backup_x86
done
host_runs_32bit || echo "wine: $(host_describe): build/win32/morvane.exe did not run"
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
