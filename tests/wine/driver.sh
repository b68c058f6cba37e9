# Drives morvane.exe under Wine in a virtual display; sourced by the Wine
# tests and the demo. Every wait is bounded.

CAPTION='Morvane 2 - https://morvane.example'
DIALOG_TITLE='Morvane 2 - Select RegShot TXT Report File'
WAIT_SECONDS=${WAIT_SECONDS:-60}

die() { echo "FAIL: $*" >&2; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/host.sh"
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Chooses the build that runs: win32 (the program users download) or win64.
# Both run in a 64-bit prefix, as on the 64-bit Windows that users have; the
# 32-bit one needs a host that runs 32-bit code (scripts/host.sh).
wine_use_build() {
  MORVANE_EXE=$project_root/build/$1/morvane.exe
  if host_runs_32bit; then
    WINE=wine
    unset WINELOADER
  else
    [ "$1" = win64 ] || die "$(host_describe): build/win32/morvane.exe cannot run here"
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
  fi
  case $1 in
    win32) WINE_KIND="the 32-bit program in a 64-bit prefix (WoW64); $(host_describe)" ;;
    *) WINE_KIND="the 64-bit build in a 64-bit prefix; $(host_describe)" ;;
  esac
  echo "wine: ${MORVANE_EXE#"$project_root"/}, $WINE_KIND"
}

# The build users run where the host can run it, else the 64-bit one.
wine_default_build() {
  if host_runs_32bit; then echo win32; else echo win64; fi
}

# Runs "$@" up to $1 times, a second apart, until it succeeds.
retry() {
  local tries=$1 try
  shift
  for try in $(seq 1 "$tries"); do
    "$@" && return 0
    [ "$try" -eq "$tries" ] || sleep 1
  done
  return 1
}

boot_prefix() {
  rm -rf "$WINEPREFIX"
  timeout 300 "$WINE" wineboot -i >>"$WORK/wineboot.log" 2>&1 && timeout 120 wineserver -w ||
    { timeout 30 wineserver -k 2>/dev/null; return 1; }
}

# Starts a virtual display unless one is given, and a fresh Wine prefix.
wine_setup() {
  export WORK=${WORK:-$(mktemp -d)}
  export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES='mscoree,mshtml='
  [ -n "${MORVANE_EXE:-}" ] || wine_use_build "$(wine_default_build)"
  [ -f "$MORVANE_EXE" ] || die "$MORVANE_EXE is not built: run scripts/build.sh"
  if [ -z "${DISPLAY:-}" ] || [ -n "${MORVANE_OWN_DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    local waited=0
    while [ ! -s "$WORK/display" ]; do
      sleep 0.1; waited=$((waited + 1))
      [ $waited -lt 200 ] || die "Xvfb did not start"
    done
    export DISPLAY=:$(cat "$WORK/display")
  fi
  retry 3 boot_prefix ||
    { tail -n 20 "$WORK/wineboot.log" >&2; die "wineboot could not make a Wine prefix in $WINEPREFIX (3 tries)"; }
  # Without a window manager, Wine draws the title bars itself.
  reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
}

wine_teardown() {
  timeout 30 wineserver -k 2>/dev/null || true
  [ -z "${XVFB_PID:-}" ] || kill "$XVFB_PID" 2>/dev/null || true
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"
}

reg() { timeout 60 "$WINE" reg "$@" >/dev/null 2>&1; }
# Adding a key fails now and then while Wine settles: try again before failing.
reg_add() { retry 3 reg add "$@" || die "reg add $* failed 3 times"; }
key_exists() { reg query "$@"; }
# The type and data of value $2 of key $1 ('' for the default) in view $3,
# as reg.exe shows them.
reg_value() {
  local name=(/v "$2")
  [ -n "$2" ] || name=(/ve)
  timeout 60 "$WINE" reg query "$1" "${name[@]}" "$3" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    .*    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2/p'
}
wine_temp_dir() { "$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r'; }
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null; }

# Starts morvane.exe in directory $1; its messages are traced into $WORK/trace.
# MORVANE_LOCALE (de_DE.UTF-8, ...) gives it Wine's locale of that name,
# and with it the ANSI code page.
morvane_start() {
  : >"$WORK/trace"
  local locale=()
  [ -z "${MORVANE_LOCALE:-}" ] || locale=(LANG="$MORVANE_LOCALE" LC_ALL="$MORVANE_LOCALE")
  (cd "$1" && env "${locale[@]}" WINEDEBUG=+msgbox "$WINE" "$MORVANE_EXE" 2>"$WORK/trace" >/dev/null
   echo $? >"$WORK/status") &
  MORVANE_PID=$!
  MESSAGES_SEEN=0
  rm -f "$WORK/status"
}

# Waits for the process to end and checks its exit status.
morvane_expect_exit() {
  local waited=0
  while [ ! -s "$WORK/status" ]; do
    sleep 0.2; waited=$((waited + 1))
    [ $waited -lt $((WAIT_SECONDS * 5)) ] || die "morvane.exe did not end"
  done
  [ "$(cat "$WORK/status")" = "$1" ] || die "exit status $(cat "$WORK/status"), expected $1"
  # MORVANE_KEEP_SERVER: a program is kept running on purpose.
  [ -n "${MORVANE_KEEP_SERVER:-}" ] || timeout 120 wineserver -w
}

# Waits for a window whose title is exactly $1; prints its id.
wait_window() {
  local pattern="^$(sed 's/[].[^$*+?(){}|\\]/\\&/g' <<<"$1")\$" waited=0 id
  while :; do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
    [ -z "$id" ] || { echo "$id"; return; }
    sleep 0.2; waited=$((waited + 1))
    [ $waited -lt $((WAIT_SECONDS * 5)) ] || die "no window titled '$1'"
  done
}

# Saves window $2 (the whole screen without it) as $1.png.
screenshot() {
  [ -z "${SCREENSHOT_DIR:-}" ] || import -window "${2:-root}" "$SCREENSHOT_DIR/$1.png"
}

# Waits for the next message box; its text (\n for line breaks) in SHOWN.
next_message() {
  local waited=0
  MESSAGES_SEEN=$((MESSAGES_SEEN + 1))
  while [ "$(grep -c 'MSGBOX_OnInit' "$WORK/trace")" -lt $MESSAGES_SEEN ]; do
    sleep 0.2; waited=$((waited + 1))
    [ $waited -lt $((WAIT_SECONDS * 5)) ] || die "no message box number $MESSAGES_SEEN"
  done
  SHOWN=$(grep 'MSGBOX_OnInit' "$WORK/trace" | sed -n "${MESSAGES_SEEN}p" | sed 's/.*MSGBOX_OnInit L"//')
  # Wine's trace cuts a text past 300 characters, marking it with "...:
  # SHOWN_CUT is set, and SHOWN holds what the trace shows.
  SHOWN_CUT=
  case $SHOWN in
    *'"...') SHOWN=${SHOWN%'"...'}; SHOWN_CUT=yes ;;
    *) SHOWN=${SHOWN%'"'} ;;
  esac
}

# Answers the message box under the program's caption with the keys in $1,
# separated by spaces ("Tab space" presses the second button, whatever the
# language of its label).
answer_message() {
  local id keys
  read -ra keys <<<"$1"
  id=$(wait_window "$CAPTION")
  sleep 0.3
  screenshot "message-$MESSAGES_SEEN" "$id"
  xdotool windowfocus --sync "$id" key "${keys[@]}"
}

# Expects the next message box to show text $1 (\n for line breaks) under
# the program's caption (as far as Wine's trace shows it), then answers it
# with key $2.
expect_message() {
  next_message
  if [ -n "$SHOWN_CUT" ]; then
    [ "${1:0:${#SHOWN}}" = "$SHOWN" ] || die "message '$SHOWN...', expected '$1'"
  else
    [ "$SHOWN" = "$1" ] || die "message '$SHOWN', expected '$1'"
  fi
  answer_message "$2"
}

# Types $1 into the open-file dialog and confirms it, or cancels with Escape
# when $1 is empty.
answer_dialog() {
  local id
  id=$(wait_window "$DIALOG_TITLE")
  sleep 0.5
  xdotool windowfocus --sync "$id"
  if [ -n "$1" ]; then
    xdotool type --delay 10 "$1"
    screenshot dialog "$id"
    xdotool key Return
  else
    xdotool key Escape
  fi
}

# The whole text of the open message box into SHOWN (Wine's trace cuts it);
# needs C:\message_text.exe in the prefix.
read_message() {
  wait_window "$CAPTION" >/dev/null
  SHOWN=$(timeout 60 "$WINE" 'C:\message_text.exe' "$CAPTION" 2>/dev/null | tr -d '\r') ||
    die "the message box's text could not be read"
}
