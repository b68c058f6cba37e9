#!/usr/bin/env bash
# Builds the native program with its tests (build/native), the Windows
# program (build/win32/morvane.exe) and the same sources for 64-bit Windows
# (build/win64/morvane.exe), which runs under Wine where the host cannot run
# 32-bit code.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j "$jobs"

for target in i686:win32 x86_64:win64; do
  cmake -S . -B "build/${target#*:}" -DCMAKE_BUILD_TYPE=Release -DMORVANE_TARGET="${target%:*}" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "build/${target#*:}" -j "$jobs"
done
