# What stays in use moves out when Windows restarts: a viewer that is not
# the installation's holds a listed file, and an unlisted one, open without
# delete sharing. Sourced by e2e.sh, whose helpers it uses.

# After cleaning, the closing message names the held file, its free
# neighbour and their folder as moving at the restart. Once the viewers end
# and Wine restarts (wineboot -r carries out the pending moves, as Windows'
# session manager does at boot), both files are in the cleaning's folder
# with their bytes, their folder is gone, and the unlisted file stays.
in_use_at_restart() {
  local c=$WORK/prefix/drive_c dir='C:\Program Files\AccLocked' other='C:\ProgramData\AccOther\notes.txt'
  local folder file
  mkdir -p "$c/Program Files/AccLocked" "$c/ProgramData/AccOther"
  printf 'locked bytes' >"$c/Program Files/AccLocked/locked.dat"
  printf 'free bytes' >"$c/Program Files/AccLocked/free.txt"
  printf 'not listed' >"$(drive_c_path "$other")"
  MORVANE_KEEP_SERVER=1
  trap 'timeout 30 wineserver -k 2>/dev/null || true' EXIT
  wineserver -p
  for file in "$dir\\locked.dat" "$other"; do
    rm -f "$c/held"
    "$WINE" 'C:\hold_open.exe' "$file" >/dev/null 2>&1 &
    retry "$WAIT_SECONDS" test -e "$c/held" || die "the viewer did not open $file"
  done
  { crlf 'Regshot 1.9.0 x64 Unicode' 'Comments: ' '' '----------------------------------' 'Folders added: 1' \
      '----------------------------------' "$dir" 0x00000010 '' \
      '----------------------------------' 'Files added: 2' '----------------------------------'
    file_lines "$dir\\locked.dat"
    file_lines "$dir\\free.txt"
    crlf ''; } | to_utf16 >"$c/in-use.txt"
  morvane_start "$run_dir"
  expect_message "$TAGS_MISSING" Return
  answer_dialog 'C:\in-use.txt'
  expect_message "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at your own risk)?" n
  next_message
  read_message
  [[ $SHOWN == *$' in use are moved out when Windows restarts.\n'*"$dir\\locked.dat"$'\n'* ]] ||
    die "question '$SHOWN'"
  answer_message Return
  next_message
  read_message
  printf 'closing message:\n%s\n' "$SHOWN"
  [[ $SHOWN == *$'\nMoved out when Windows restarts: 3\n'"$dir"$'\\\n'"$dir"$'\\locked.dat\n'"$dir"$'\\free.txt\n'* ]] ||
    die "the closing message does not name what moves at the restart"
  [[ $SHOWN == *$'\n\nRestart Windows to finish.' ]] || die "the closing message does not end with the restart"
  folder=$(sed -n 's/^What is in use moves out when Windows restarts: files into \(.*\), by their full names.*/\1/p' <<<"$SHOWN")
  [[ $folder == *'\Morvane\Backups\morvane-restart-'????????-?????? ]] || die "the files move into '$folder'"
  answer_message Return
  morvane_expect_exit 0
  [ -e "$c/Program Files/AccLocked/locked.dat" ] || die "the held file went before the restart"
  # The viewers end, and Wine starts again.
  timeout 30 wineserver -k 2>/dev/null || true
  trap - EXIT
  unset MORVANE_KEEP_SERVER
  timeout 300 "$WINE" wineboot -r >/dev/null 2>&1 || die "wineboot -r failed"
  timeout 120 wineserver -w
  folder=$(unix_path "$folder")
  [ "$(cat "$folder/C/Program Files/AccLocked/locked.dat" 2>/dev/null)" = 'locked bytes' ] ||
    die "the held file is not in the cleaning's folder after the restart"
  [ "$(cat "$folder/C/Program Files/AccLocked/free.txt" 2>/dev/null)" = 'free bytes' ] ||
    die "the free file is not in the cleaning's folder after the restart"
  [ ! -e "$c/Program Files/AccLocked" ] || die "the emptied folder is still there after the restart"
  [ "$(cat "$(drive_c_path "$other")")" = 'not listed' ] || die "the unlisted file changed"
  rm -rf "$c/ProgramData/AccOther" "$c/held"
}
