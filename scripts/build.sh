#!/usr/bin/env bash
# Builds the native program with its tests (build/native) and the Windows
# program (build/win32/morvane.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j "$jobs"

cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-i686.cmake" >/dev/null
cmake --build build/win32 -j "$jobs"
