#!/usr/bin/env bash
# Times the Windows program under Wine against the native build on the same
# generated report, in one run: for Wine, from confirming the open-file
# dialog to the first question (the whole conversion); for the native
# build, the whole run. Usage: bench/wine.sh [keys, default 1000000]
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-1000000}
MORVANE_OWN_DISPLAY=1
source tests/wine/driver.sh
# Under qemu's i386 emulator a time would measure the emulator: always the
# 64-bit build, which runs natively on every host.
wine_use_build win64
wine_setup
trap wine_teardown EXIT

report=$WINEPREFIX/drive_c/report.txt
awk -v keys="$keys" -f bench/make_report.awk >"$report"
mkdir -p "$WORK/run"
now() { date +%s%N; }
wait_messages() {
  while [ "$(grep -c MSGBOX_OnInit "$WORK/trace")" -lt "$1" ]; do sleep 0.01; done
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
printf '%s\nno\ncancel\n' "$report" >"$WORK/answers"
native_times=() wine_times=()
for round in 1 2 3; do
  start=$(now)
  (cd "$WORK/run" && TMPDIR="$WORK/run" "$OLDPWD/build/native/morvane" <"$WORK/answers" >/dev/null)
  native_times+=($(($(now) - start)))

  morvane_start "$WORK/run"
  expect_message "'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string." Return
  answer_dialog 'C:\report.txt'
  start=$(now)
  wait_messages 2
  wine_times+=($(($(now) - start)))
  expect_message "'morvane.reg' has been created, do you want to edit it (at your own risk)?" n
  expect_message "$keys registry key(s) found parsing report.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg', close it NOW." Escape
  morvane_expect_exit 0
done
cmp "$WORK/run/morvane.reg" "$(unix_path "$(wine_temp_dir)\\morvane.reg")" ||
  die "the Windows program wrote another script than the native one"
awk -v keys="$keys" -v w="$(median "${wine_times[@]}")" -v n="$(median "${native_times[@]}")" 'BEGIN {
  printf "%d keys, median of 3 rounds, 64-bit build: wine %.2f s (report chosen to first question), native %.2f s, ratio %.1f\n",
    keys, w / 1e9, n / 1e9, w / n
}'
