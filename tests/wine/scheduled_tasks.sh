# Scheduled tasks an installation registered: removed through the Task
# Scheduler, saved first, while Microsoft's task and another vendor's stay.
# Wine's Task Scheduler keeps a task as its file in system32\tasks and
# writes no cache keys, so the cache is imported as Windows would have
# written it. Sourced by e2e.sh, whose helpers it uses.

task_cache='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Schedule\TaskCache'
updater_id='{0A1B2C3D-0000-4000-8000-00000000000A}'
agent_id='{0A1B2C3D-0000-4000-8000-00000000000B}'
probe_id='{0A1B2C3D-0000-4000-8000-00000000000C}'

# Registers task $1 (its path without the leading backslash) running $2.
register_task() {
  printf '%s\n' '<?xml version="1.0" encoding="UTF-16"?>' \
    '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">' \
    '  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>' \
    "  <Actions Context=\"Author\"><Exec><Command>$2</Command></Exec></Actions>" '</Task>' |
    iconv -f UTF-8 -t UTF-16 >"$WORK/prefix/drive_c/task.xml"
  timeout 120 "$WINE" schtasks /create /xml 'C:\task.xml' /tn "$1" >/dev/null 2>&1 || die "schtasks /create $1 failed"
}
task_file() { echo "$WORK/prefix/drive_c/windows/system32/tasks/${1//\\//}"; }

# The report lists the updater's cache keys (and with $1 = both its file
# and folder too), Microsoft's task's tree key, the other vendor's task
# entry, and a Microsoft task's run-time value as changed. The closing
# message's command registers the saved task again.
scheduled_tasks() {
  local listing c=$WORK/prefix/drive_c question result saved command
  local updater='C:\Program Files\Vendor\updater.exe'
  for listing in keys both; do
    register_task 'Vendor\Updater' "$updater"
    register_task 'OtherVendor\Agent' 'C:\Program Files\OtherVendor\agent.exe'
    register_task 'Microsoft\Windows\MorvaneProbe' 'C:\windows\system32\cmd.exe'
    add_key "$task_cache\\Tree\\Vendor"
    reg_add "$task_cache\\Tree\\Vendor\\Updater" /v Id /d "$updater_id" /reg:64 /f
    reg_add "$task_cache\\Tasks\\$updater_id" /v Path /d '\Vendor\Updater' /reg:64 /f
    add_key "$task_cache\\Plain\\$updater_id"
    reg_add "$task_cache\\Tree\\Microsoft\\Windows\\MorvaneProbe" /v Id /d "$probe_id" /reg:64 /f
    reg_add "$task_cache\\Tasks\\$agent_id" /v Path /d '\OtherVendor\Agent' /reg:64 /f
    reg_add "$task_cache\\Tasks\\$probe_id" /v DynamicInfo /t REG_BINARY /d 0304 /reg:64 /f
    { crlf 'Regshot 1.9.0 x64 Unicode' 'Comments: ' '' '----------------------------------' 'Keys added: 6' \
        '----------------------------------' "$task_cache\\Tree\\Vendor" "$task_cache\\Tree\\Vendor\\Updater" \
        "$task_cache\\Tasks\\$updater_id" "$task_cache\\Plain\\$updater_id" \
        "$task_cache\\Tree\\Microsoft\\Windows\\MorvaneProbe" "$task_cache\\Tasks\\$agent_id" '' \
        '----------------------------------' 'Values added: 2' '----------------------------------' \
        "$task_cache\\Tree\\Vendor\\Updater\\Id: \"$updater_id\"" \
        "$task_cache\\Tasks\\$updater_id\\Path: \"\\Vendor\\Updater\"" '' \
        '----------------------------------' 'Values modified: 1' '----------------------------------' \
        "$task_cache\\Tasks\\$probe_id\\DynamicInfo: 01 02" "$task_cache\\Tasks\\$probe_id\\DynamicInfo: 03 04" ''
      if [ "$listing" = both ]; then
        crlf '----------------------------------' 'Folders added: 1' '----------------------------------' \
          'C:\windows\system32\Tasks\Vendor' 0x00000010 '' \
          '----------------------------------' 'Files added: 1' '----------------------------------'
        file_lines 'C:\windows\system32\tasks\Vendor\Updater'
        crlf ''
      fi; } | to_utf16 >"$c/tasks.txt"
    morvane_start "$run_dir"
    expect_message "$TAGS_MISSING" Return
    answer_dialog 'C:\tasks.txt'
    next_message
    answer_message n
    next_message
    read_message
    question=$'0 registry key(s) found parsing report.\n3 more in Windows\' own trees are kept: nothing in the report '
    question+=$'ties them to the installation.\n1 scheduled task(s) of the installation are removed.\n\\Vendor\\Updater\n'
    [[ $SHOWN == "$question"* ]] || die "$listing: question '$SHOWN'"
    answer_message Return
    next_message
    read_message
    printf '%s: closing message:\n%s\n' "$listing" "$SHOWN"
    result=$'\nScheduled tasks removed: 1\nTo get a task back: schtasks /create /xml "'
    [[ $SHOWN == *"$result"*'" /tn "\Vendor\Updater"'* ]] || die "$listing: closing message '$SHOWN'"
    command=$(grep -F 'To get a task back: ' <<<"$SHOWN")
    command=${command#To get a task back: }
    saved=$(sed 's/^schtasks \/create \/xml "\([^"]*\)".*/\1/' <<<"$command")
    answer_message Return
    morvane_expect_exit 0
    [ ! -e "$(task_file 'Vendor\Updater')" ] || die "$listing: the Task Scheduler still knows the task"
    [ ! -e "$(task_file Vendor)" ] || die "$listing: the emptied task folder is still there"
    [ -f "$(task_file 'OtherVendor\Agent')" ] || die "$listing: another vendor's task is gone"
    [ -f "$(task_file 'Microsoft\Windows\MorvaneProbe')" ] || die "$listing: Microsoft's task is gone"
    [ "$(reg_value "$task_cache\\Tasks\\$probe_id" DynamicInfo /reg:64)" = 'REG_BINARY 0304' ] ||
      die "$listing: Microsoft's task's run-time value was set back"
    [[ $saved == *'\Morvane\Backups\morvane-tasks-'????????-??????'\Updater.xml' ]] ||
      die "$listing: the task was saved as '$saved', not beside the backup"
    # Wine's scheduler writes neither actions nor triggers into a task's XML
    # (<Exec/>); Windows' gives the whole definition.
    iconv -f UTF-16 -t UTF-8 "$(unix_path "$saved")" | tr -d '\n' | grep -q '<Task .*</Task>$' ||
      die "$listing: the saved task is not the Task Scheduler's XML"
    # The closing message's command, as the user would type it.
    eval "timeout 120 \"\$WINE\" $command" >/dev/null 2>&1 || die "$listing: '$command' failed"
    [ -f "$(task_file 'Vendor\Updater')" ] || die "$listing: the saved task did not register again"
    for task in 'Vendor\Updater' 'OtherVendor\Agent' 'Microsoft\Windows\MorvaneProbe'; do
      timeout 120 "$WINE" schtasks /delete /tn "$task" /f >/dev/null 2>&1 || die "schtasks /delete $task failed"
    done
    reg delete "$task_cache" /reg:64 /f
  done
}
