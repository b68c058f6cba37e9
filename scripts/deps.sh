#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test tools is missing,
# and makes the host run 32-bit Windows programs under Wine:
# - where the kernel runs i386 programs, wine32:i386 is all it takes;
# - where it refuses them, qemu's i386 emulator (qemu-user-static 10 from
#   bookworm-backports: bookworm's 7.2 cannot map what Wine's 32-bit loader
#   needs) is registered with binfmt_misc, then wine32:i386 is installed.
#   The registration does not survive a restart, so every run checks it.
# Where that fails, the 64-bit build runs under Wine instead, and every
# script that uses Wine says so.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/host.sh

packages=(
  cmake make g++ libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  wine wine64 xvfb xdotool imagemagick
  clang libclang-rt-14-dev clang-tidy cppcheck valgrind mawk time zip unzip procps
)

installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }
missing() {
  local package
  for package in "$@"; do installed "$package" || echo "$package"; done
}
as_root() {
  [ "$(id -u)" -eq 0 ] && return 0
  echo "Missing packages, or the emulator's registration, need root: run this as root." >&2
  return 1
}
apt_updated=
apt_install() {
  export DEBIAN_FRONTEND=noninteractive
  # An index that fails to download (a mirror in the middle of a sync)
  # leaves the others usable.
  [ -n "$apt_updated" ] || apt-get update -q ||
    echo "deps: apt-get update could not read every package index; going on with what it has" >&2
  apt_updated=yes
  apt-get install -y -q "$@"
}

# bookworm-backports, served from the same archive as bookworm itself.
add_backports() {
  apt-cache policy 2>/dev/null | grep -q 'bookworm-backports' && return 0
  local uri
  uri=$(grep -rhoE '^(URIs:|deb) *[^ ]+' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
    grep -v security | grep -oE '[a-z]+://[^ ]*debian/?$' | head -n 1) || true
  [ -n "$uri" ] || { echo "deps: no Debian archive in apt's sources to take bookworm-backports from" >&2; return 1; }
  printf 'deb %s bookworm-backports main\n' "${uri%/}" >/etc/apt/sources.list.d/morvane-backports.list
  apt_updated=
}

emulator_ready() {
  installed qemu-user-static &&
    dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user-static)" ge 1:10
}

mapfile -t needed < <(missing "${packages[@]}")
if [ ${#needed[@]} -gt 0 ]; then
  echo "Installing: ${needed[*]}"
  as_root
  apt_install "${needed[@]}"
fi

host_detect
if [ "$MORVANE_HOST_KIND" = none ] && [ "$(id -u)" -eq 0 ]; then
  echo "deps: this kernel refuses i386 programs; setting up qemu's i386 emulator"
  if ! emulator_ready; then
    { add_backports && apt_install -t bookworm-backports qemu-user-static; } ||
      echo "deps: could not install qemu-user-static from bookworm-backports" >&2
  fi
  if emulator_ready && host_register_emulator; then
    echo "deps: registered $(command -v qemu-i386 || command -v qemu-i386-static) for i386 programs"
  else
    echo "deps: the emulator could not be set up: the 64-bit build will run under Wine instead" >&2
  fi
fi

if [ "$(host_kind)" != none ] && ! installed wine32:i386; then
  echo "Installing: wine32:i386 ($(host_describe))"
  as_root
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt_updated=
  fi
  apt_install wine32:i386 ||
    echo "deps: wine32:i386 could not be installed: the 64-bit build will run under Wine instead" >&2
fi
echo "deps: $(host_describe)"
