#!/usr/bin/env bash
# The Windows program under Wine: dialogs driven from outside, keys really
# deleted by the registry editor, and the ones that must stay still there.
# Every scenario runs with build/win32/morvane.exe in a 64-bit prefix
# (WoW64), then with build/win64/morvane.exe; where the host cannot run
# 32-bit code, with the 64-bit build alone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
MORVANE_OWN_DISPLAY=1
source "$here/driver.sh"
builds=(win64)
host_runs_32bit && builds=(win32 win64)
wine_use_build "${builds[0]}"
wine_setup
trap wine_teardown EXIT

TAGS_MISSING="'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string."
EDIT="'morvane.reg' has been created, do you want to edit it (at your own risk)?"
cleaning() { echo "$1 registry key(s) found parsing report.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg', close it NOW."; }

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
# A report in RegShot's layout, titled $1, whose added section lists $2...
write_report() {
  local title=$1
  shift
  crlf "$title" 'Comments: ' '' '----------------------------------' 'Keys deleted: 1' \
       '----------------------------------' 'HKLM\SOFTWARE\MorvaneTest\Sibling' '' \
       '----------------------------------' "Keys added: $(($# + 2))" '----------------------------------'
  crlf "$@"
  crlf 'HKCU\Software\Decoy\HKLM\SOFTWARE\MorvaneUnrelated' 'HKCU\Software\MorvaneTest\Keep' ''
  crlf '----------------------------------' 'Values added: 1' '----------------------------------' \
       'HKLM\SOFTWARE\MorvaneTest\Sibling\Value: 1' ''
}
# The script those keys give, as an ANSI report would.
write_script() {
  local key
  crlf 'Windows Registry Editor Version 5.00' ''
  for key in "$@"; do
    key=${key/#HKLM\\/HKEY_LOCAL_MACHINE\\}
    crlf "[-${key/#HKU\\/HKEY_USERS\\}]"
  done
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
for dir in "$app_dir" "$run_dir"; do
  cp "$WORK/planted.exe" "$dir/regedit.exe"
  cp "$WORK/planted.exe" "$dir/notepad.exe"
done

make_keys() {
  for key in "${added[@]}" "${staying[@]}"; do add_key "$key"; done
}
passed=0 failed=0

scenario() {
  echo "-- $1"
  if ( set -e; "$2" ); then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
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
  morvane_expect_exit 0
  cmp "$script" "$expected_script" || die "morvane.reg differs from the expected script"
  for key in "${added[@]}"; do ! has_key "$key" || die "$key is still there"; done
  for key in "${staying[@]}"; do has_key "$key" || die "$key is gone"; done
  [ ! -e "$planted_mark" ] || die "a planted program ran"
}

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

temp_dir=$(wine_temp_dir)
for build in "${builds[@]}"; do
  [ "$build" = "${builds[0]}" ] || wine_use_build "$build"
  cp "$MORVANE_EXE" "$app_dir/morvane.exe"
  MORVANE_EXE=$app_dir/morvane.exe
  reg_add 'HKCU\Environment' /v TEMP /d "$temp_dir" /f
  reg_add 'HKCU\Environment' /v TMP /d "$temp_dir" /f
  scenario "$build: clean after confirmation" clean_run
  scenario "$build: cancel in the open-file dialog" cancel_dialog
  scenario "$build: cancel on the confirmation" cancel_cleaning
  scenario "$build: temporary directory with a space" temp_with_space
  scenario "$build: Unicode report with non-ASCII key names, edited first" unicode_names
  scenario "$build: the registry view that the report names" registry_views
done
host_runs_32bit || echo "wine: $(host_describe): build/win32/morvane.exe did not run"
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
