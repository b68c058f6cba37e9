# What an installation left running: a service it registered and started,
# a tray program, one that refuses to close and one that asks to save,
# each from the installed folders; beside them Windows' per-user service
# instance, listed as added, and a watcher that holds what is newly named.
# Sourced by e2e.sh, whose helpers it uses.

# The service manager's word on the service, as sc.exe gives it: Wine's
# prints nothing for a service it does not know, and fails.
service_state() {
  local shown status=0
  shown=$(timeout 60 "$WINE" sc query "${1:-MorvaneRunSvc}" 2>&1 | tr -d '\r') || status=$?
  printf '%s (exit status %s)\n' "$(grep -E 'STATE|FAILED' <<<"$shown" | sed 's/  */ /g')" "$status"
}
program_runs() { pgrep -f "$1" >/dev/null; }

# Everything of the installation is stopped, then goes: the service is
# unknown to the service manager, the tray program has closed, and their
# folder is in the Recycle Bin. The program that refuses to close is left
# running on the default answer, with its folder, and the closing message
# says so. The program that asks to save while its user is away is told
# nothing more, and its message-only windows nothing at all. The per-user
# instance runs on with its key, and nothing is left renamed for the
# watcher to hold. Importing the backup brings the service's key back.
left_running() {
  local c=$WORK/prefix/drive_c run='C:\Program Files\MorvaneRun' stubborn='C:\Program Files\MorvaneStubborn'
  local line trash=$XDG_DATA_HOME/Trash/files key='HKLM\SYSTEM\CurrentControlSet\Services\MorvaneRunSvc' file
  local instance='HKLM\SYSTEM\CurrentControlSet\Services\CDPUserSvc_1a2b3c'
  mkdir -p "$c/Program Files/MorvaneRun" "$c/Program Files/MorvaneStubborn"
  rm -rf "$XDG_DATA_HOME/Trash" "$c"/*-started "$c/prompt-log"
  for file in MorvaneRun/morvanesvc.exe MorvaneRun/tray.exe MorvaneStubborn/stubborn.exe MorvaneStubborn/editor.exe; do
    cp "$c/left_running.exe" "$c/Program Files/$file"
  done
  # The installation: the Wine server, and with it the service, stays up
  # until the check is done.
  MORVANE_KEEP_SERVER=1
  trap 'timeout 30 wineserver -k 2>/dev/null || true' EXIT
  wineserver -p
  timeout 60 "$WINE" sc create MorvaneRunSvc binPath= "\"$run\\morvanesvc.exe\" service" >/dev/null 2>&1 ||
    die "sc create failed"
  timeout 60 "$WINE" sc start MorvaneRunSvc >/dev/null 2>&1 || die "sc start failed"
  timeout 60 "$WINE" sc create CDPUserSvc_1a2b3c binPath= '"C:\left_running.exe" service' >/dev/null 2>&1 ||
    die "sc create failed"
  timeout 60 "$WINE" sc start CDPUserSvc_1a2b3c >/dev/null 2>&1 || die "sc start failed"
  "$WINE" "$run\\tray.exe" tray >/dev/null 2>&1 &
  "$WINE" "$stubborn\\stubborn.exe" refuse >/dev/null 2>&1 &
  "$WINE" "$stubborn\\editor.exe" prompt >/dev/null 2>&1 &
  "$WINE" 'C:\left_running.exe' watch 'C:\Program Files' >/dev/null 2>&1 &
  for file in service tray refuse prompt watch; do
    retry "$WAIT_SECONDS" test -e "$c/$file-started" || die "the $file program did not start"
  done
  service_state >"$WORK/sc-before"
  echo "sc query MorvaneRunSvc before: $(cat "$WORK/sc-before")"
  grep -q RUNNING "$WORK/sc-before" || die "the service does not run"
  service_state CDPUserSvc_1a2b3c | grep -q RUNNING || die "the per-user instance does not run"
  # As RegShot sees it under Wine, whose CurrentControlSet is a key of its
  # own, not a link to ControlSet001.
  { crlf 'Regshot 1.9.0 x64 Unicode' 'Comments: ' '' '----------------------------------' 'Keys added: 2' \
      '----------------------------------' "$key" "$instance" '' \
      '----------------------------------' 'Folders added: 2' '----------------------------------' \
      "$run" 0x00000010 "$stubborn" 0x00000010 '' \
      '----------------------------------' 'Files added: 4' '----------------------------------'
    for file in "$run\\morvanesvc.exe" "$run\\tray.exe" "$stubborn\\stubborn.exe" "$stubborn\\editor.exe"; do
      file_lines "$file"
    done
    crlf ''; } | to_utf16 >"$c/running.txt"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\running.txt'
  expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" n
  next_message
  read_message
  local question=$'1 registry key(s) found parsing report.\n4 file(s) and 2 folder(s) the installation added go to the Recycle Bin.\n'
  question+=$'1 more is kept: it holds Windows\' own state (see morvane.reg).\n'
  question+=$'3 program(s) and 1 service(s) of the installation are running: they are stopped first.\nMorvaneRunSvc, '
  local ending=$'\n\nCONTINUE WITH CLEANING?\nWarning: if you are editing \'morvane.reg\' or \'morvane-files.txt\', close them NOW.'
  [[ $SHOWN == "$question"*"$ending" ]] || die "question '$SHOWN'"
  for file in tray.exe stubborn.exe editor.exe; do
    [[ $SHOWN == *"$file"* ]] || die "the question does not name $file"
  done
  printf 'question:\n%s\n' "$SHOWN"
  answer_message Return
  # No, the default, leaves them running.
  next_message
  read_message
  [[ $SHOWN == 'These programs of the installation did not close when asked:'* ]] || die "question '$SHOWN'"
  for file in stubborn.exe editor.exe; do
    [[ $SHOWN == *"C:\\Program Files\\MorvaneStubborn\\$file"$'\n'* ]] || die "the question does not name $file"
  done
  answer_message Return
  next_message
  read_message
  printf 'closing message:\n%s\n' "$SHOWN"
  [[ $SHOWN == 'Cleaning finished.'* ]] || die "closing message '$SHOWN'"
  for line in $'Listed keys: 1\nGone: 1\nAlready absent: 0\nStill there: 0' $'In the Recycle Bin: 3\nC:\\Program Files\\MorvaneRun\\' \
    $'Moved out when Windows restarts: 3\nC:\\Program Files\\MorvaneStubborn\\\n' \
    $'\nServices stopped and removed: 1\nPrograms closed: 1\nStill running: 2\n' \
    $'C:\\Program Files\\MorvaneStubborn\\stubborn.exe: left running\n' \
    $'C:\\Program Files\\MorvaneStubborn\\editor.exe: left running\n' \
    $'\nA service restored from the backup runs again after a restart.\n'; do
    [[ $SHOWN == *"$line"* ]] || die "the closing message lacks '$line'"
  done
  [[ $SHOWN == *$'\n\nRestart Windows to finish.' ]] || die "the closing message does not end with the restart"
  local backup
  backup=$(sed -n 's/^Backup: //p' <<<"$SHOWN")
  answer_message Return
  morvane_expect_exit 0
  service_state >"$WORK/sc-after"
  echo "sc query MorvaneRunSvc after: $(cat "$WORK/sc-after")"
  grep -qx ' (exit status 1)' "$WORK/sc-after" || die "the service manager still knows the service"
  ! program_runs 'MorvaneRun.morvanesvc\.exe' || die "the service's program still runs"
  ! program_runs 'MorvaneRun.tray\.exe' || die "the tray program still runs"
  program_runs 'MorvaneStubborn.stubborn\.exe' || die "the program left running was ended"
  program_runs 'MorvaneStubborn.editor\.exe' || die "the program asking to save was ended"
  echo "what the program asking to save logged: $(tr '\n' ';' <"$c/prompt-log")"
  grep -qx 'asked' "$c/prompt-log" || die "the program asking to save was not asked"
  ! grep -Eq 'session ends|closed|destroyed|message-only|gone' "$c/prompt-log" ||
    die "the program asking to save was told to end, or its windows were closed"
  service_state CDPUserSvc_1a2b3c | grep -q RUNNING || die "the per-user instance was stopped"
  has_key "$instance" || die "the per-user instance's key is gone"
  [ -z "$(find "$c" -name '*.morvane-move-check')" ] || die "an item was left renamed"
  [ ! -e "$c/Program Files/MorvaneRun" ] || die "$run is still there"
  for file in morvanesvc.exe tray.exe; do
    cmp -s "$trash/MorvaneRun/$file" "$c/left_running.exe" || die "$run\\$file is not in the Recycle Bin"
  done
  [ -f "$c/Program Files/MorvaneStubborn/stubborn.exe" ] || die "$stubborn\\stubborn.exe is gone"
  ! has_key "$key" || die "the service's key is still there"
  timeout 60 "$WINE" regedit /s "$backup" || die "the backup could not be imported"
  has_key "$key" || die "the backup did not bring the service's key back"
  # As on Windows, the service manager knows the restored service again
  # once it starts anew.
  timeout 30 wineserver -k 2>/dev/null || true
  trap - EXIT
  unset MORVANE_KEEP_SERVER
  service_state >"$WORK/sc-restored"
  echo "sc query MorvaneRunSvc after the backup and a restart: $(cat "$WORK/sc-restored")"
  grep -q 'STATE : 1 STOPPED' "$WORK/sc-restored" || die "the restored service is not known after a restart"
  timeout 60 "$WINE" sc delete MorvaneRunSvc >/dev/null 2>&1 || die "sc delete failed"
  timeout 60 "$WINE" sc delete CDPUserSvc_1a2b3c >/dev/null 2>&1 || die "sc delete failed"
  timeout 30 wineserver -k 2>/dev/null || true
  rm -rf "$c/Program Files/MorvaneStubborn" "$XDG_DATA_HOME/Trash" "$c"/*-started
}
