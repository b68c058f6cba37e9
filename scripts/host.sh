# What this host can run under Wine, decided in this one place. Sourced by
# every script that installs or uses Wine.
#
# Three kinds of host:
#   native    the kernel runs i386 programs itself;
#   emulated  it refuses them, but qemu's i386 emulator is registered with
#             binfmt_misc and runs them (scripts/deps.sh sets that up);
#   none      no i386 program starts: Wine's 32-bit loader cannot run, and
#             the 64-bit build of the same sources stands in for
#             build/win32/morvane.exe.

# A 96-byte i386 Linux program that exits with status 42.
host_probe_program='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'

host_binfmt=/proc/sys/fs/binfmt_misc
# The usual magic and mask of i386 ELF executables (as qemu's own
# registration script has them), for binfmt_misc's register file.
host_i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
host_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

host_emulator_registered() {
  # The registrations outlive an unmount: mount it again to see them.
  [ -e "$host_binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$host_binfmt" 2>/dev/null || true
  [ "$(head -n 1 "$host_binfmt/qemu-i386" 2>/dev/null)" = enabled ]
}

# Probes the host anew and keeps the answer in MORVANE_HOST_KIND, which may
# also be set beforehand to force one.
host_detect() {
  local probe status try
  probe=$(mktemp)
  printf "$host_probe_program" >"$probe"
  chmod +x "$probe"
  # The emulator fails now and then to start under load: three tries
  # before the host counts as one that runs no 32-bit code.
  for try in 1 2 3; do
    status=0
    "$probe" 2>/dev/null || status=$?
    [ "$status" -ne 42 ] && host_emulator_registered || break
    echo "host: the i386 probe exited with status $status under qemu's emulator (try $try of 3)" >&2
    sleep 1
  done
  rm -f "$probe"
  if [ "$status" -ne 42 ]; then
    MORVANE_HOST_KIND=none
  elif host_emulator_registered; then
    MORVANE_HOST_KIND=emulated
  else
    MORVANE_HOST_KIND=native
  fi
  export MORVANE_HOST_KIND
}

host_kind() {
  [ -n "${MORVANE_HOST_KIND:-}" ] || host_detect
  echo "$MORVANE_HOST_KIND"
}

# Wine's 32-bit loader, from wine32:i386.
host_wine32=/usr/lib/wine/wine
# 32-bit Windows programs: an i386 host with Wine's 32-bit loader, which
# scripts/deps.sh installs where the package archive lets it.
host_runs_32bit() {
  [ -n "${MORVANE_HOST_KIND:-}" ] || host_detect
  [ "$MORVANE_HOST_KIND" != none ] && [ -x "$host_wine32" ]
}

host_describe() {
  local loader=
  [ -x "$host_wine32" ] || loader=", but Wine's 32-bit loader (wine32:i386) is not installed"
  case $(host_kind) in
    native) echo "this host runs 32-bit code natively$loader" ;;
    emulated) echo "this host runs 32-bit code through qemu's i386 emulator$loader" ;;
    *) echo "this host cannot run 32-bit code" ;;
  esac
}

# Registers qemu's i386 emulator for i386 programs (needs root and
# qemu-user-static). A registration does not survive a restart, so this runs
# every time and is a no-op when it is in place. The F flag opens the
# emulator now, so it also serves programs started in other mount
# namespaces. True when i386 programs then run.
host_register_emulator() {
  local qemu
  qemu=$(command -v qemu-i386 || command -v qemu-i386-static) || return 1
  [ -e "$host_binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$host_binfmt" 2>/dev/null || return 1
  if [ ! -e "$host_binfmt/qemu-i386" ]; then
    printf '%s' ":qemu-i386:M::$host_i386_magic:$host_i386_mask:$qemu:F" >"$host_binfmt/register" 2>/dev/null ||
      return 1
  fi
  host_emulator_registered || echo 1 >"$host_binfmt/qemu-i386" 2>/dev/null || return 1
  host_detect
  [ "$MORVANE_HOST_KIND" = emulated ]
}
