#!/usr/bin/env bash
# Times the Windows program under Wine on a generated report: from confirming
# the open-file dialog to the first question (the whole conversion), and to
# the confirmation question. Usage: bench/wine.sh [keys, default 100000]
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-100000}
MORVANE_OWN_DISPLAY=1
source tests/wine/driver.sh
wine_setup
trap wine_teardown EXIT

awk -v keys="$keys" -f bench/make_report.awk >"$WINEPREFIX/drive_c/report.txt"
mkdir -p "$WORK/run"
now() { date +%s%N; }
wait_messages() {
  while [ "$(grep -c MSGBOX_OnInit "$WORK/trace")" -lt "$1" ]; do sleep 0.01; done
}

morvane_start "$WORK/run"
expect_message "'tags.ini' not found.\\nMorvane will only search for the standard 'Keys added' string." Return
answer_dialog 'C:\report.txt'
start=$(now)
wait_messages 2
converted=$(now)
expect_message "'morvane.reg' has been created, do you want to edit it (at your own risk)?" n
wait_messages 3
confirmation=$(now)
expect_message "$keys registry key(s) found parsing report.\\n\\nCONTINUE WITH CLEANING?\\nWarning: if you are editing 'morvane.reg', close it NOW." Escape
morvane_expect_exit 0
awk -v keys="$keys" -v a=$((converted - start)) -v b=$((confirmation - start)) 'BEGIN {
  printf "wine, %d keys: report chosen to first question %.2f s, to the confirmation %.2f s\n", keys, a / 1e9, b / 1e9
}'
