#!/usr/bin/env bash
# The Windows program under Wine: dialogs driven from outside, keys really
# deleted by the registry editor, and the ones that must stay still there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
MORVANE_OWN_DISPLAY=1
source "$here/driver.sh"
wine_setup
trap wine_teardown EXIT

TAGS_MISSING="'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string."
EDIT="'morvane.reg' has been created, do you want to edit it (at your own risk)?"
cleaning() { echo "$1 registry key(s) found parsing report.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg', close it NOW."; }

USER_SID='S-1-5-21-0-0-0-1000'
added=('HKLM\SOFTWARE\MorvaneTest\App' 'HKU\'"$USER_SID"'\Software\MorvaneTest\App')
for i in $(seq 1 10); do added+=("HKLM\\SOFTWARE\\MorvaneTest\\App\\Part $i"); done
staying=('HKCU\Software\MorvaneTest\Keep' 'HKLM\SOFTWARE\MorvaneTest\Sibling' 'HKLM\SOFTWARE\MorvaneUnrelated\Data')

crlf() { printf '%s\r\n' "$@"; }
report=$WORK/prefix/drive_c/report.txt
{
  crlf 'Regshot 1.9.0 x86 ANSI' '' '----------------------------------' 'Keys deleted: 1' \
       '----------------------------------' 'HKLM\SOFTWARE\MorvaneTest\Sibling' '' \
       '----------------------------------' 'Keys added: 13' '----------------------------------'
  crlf "${added[@]}"
  crlf 'HKCU\Software\Decoy\HKLM\SOFTWARE\MorvaneUnrelated' 'HKCU\Software\MorvaneTest\Keep' ''
  crlf '----------------------------------' 'Values added: 1' '----------------------------------' \
       'HKLM\SOFTWARE\MorvaneTest\Sibling\Value: 1' ''
} >"$report"

expected_script=$WORK/expected.reg
{
  crlf 'Windows Registry Editor Version 5.00' ''
  for key in "${added[@]}"; do
    key=${key/#HKLM\\/HKEY_LOCAL_MACHINE\\}
    crlf "[-${key/#HKU\\/HKEY_USERS\\}]"
  done
} >"$expected_script"

make_keys() {
  for key in "${added[@]}" "${staying[@]}"; do reg_add "$key" /f; done
}
run_dir=$WORK/run
mkdir -p "$run_dir"
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
  for key in "${added[@]}"; do ! key_exists "$key" || die "$key is still there"; done
  for key in "${staying[@]}"; do key_exists "$key" || die "$key is gone"; done
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
  for key in "${added[@]}" "${staying[@]}"; do key_exists "$key" || die "$key is gone"; done
}

temp_with_space() {
  mkdir -p "$WORK/prefix/drive_c/Temp Dir With Space"
  reg_add 'HKCU\Environment' /v TEMP /d 'C:\Temp Dir With Space' /f
  reg_add 'HKCU\Environment' /v TMP /d 'C:\Temp Dir With Space' /f
  [ "$(wine_temp_dir)" = 'C:\Temp Dir With Space' ] || die "the temporary directory was not changed"
  clean_run
  [ -f "$WORK/prefix/drive_c/Temp Dir With Space/morvane.reg" ] || die "no script in the spaced directory"
}

scenario "clean after confirmation" clean_run
scenario "cancel in the open-file dialog" cancel_dialog
scenario "cancel on the confirmation" cancel_cleaning
scenario "temporary directory with a space" temp_with_space
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
