# What this host can run under Wine, decided in this one place. Sourced by
# every script that installs or uses Wine.
#
# Some kernels have 32-bit emulation switched off: no i386 program starts
# there, so Wine's 32-bit loader cannot run and the 64-bit build of the same
# sources stands in for build/win32/morvane.exe.

# A 96-byte i386 Linux program that exits with status 42.
host_probe_program='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'

# True when the host runs 32-bit x86 code. The answer is kept in
# MORVANE_HOST_32BIT (yes or no), which may also be set to force it.
host_runs_32bit() {
  if [ -z "${MORVANE_HOST_32BIT:-}" ]; then
    local probe status=0
    probe=$(mktemp)
    printf "$host_probe_program" >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    if [ "$status" -eq 42 ]; then MORVANE_HOST_32BIT=yes; else MORVANE_HOST_32BIT=no; fi
    export MORVANE_HOST_32BIT
  fi
  [ "$MORVANE_HOST_32BIT" = yes ]
}
