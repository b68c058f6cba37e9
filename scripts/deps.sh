#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test tools is missing.
# Wine's 32-bit side (the i386 architecture and wine32) only where the host
# can run 32-bit code: elsewhere it cannot start and only costs set-up time.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/host.sh

packages=(
  cmake make g++ libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  wine wine64 xvfb xdotool imagemagick
  clang libclang-rt-14-dev clang-tidy cppcheck valgrind mawk time
)
host_runs_32bit && packages+=(wine32:i386)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages need root: run this as root or install them by hand." >&2
  exit 1
fi
if host_runs_32bit && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${missing[@]}"
