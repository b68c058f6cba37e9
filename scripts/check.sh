#!/usr/bin/env bash
# Static checks of the project's code: clang-tidy (.clang-tidy lists the
# checks) and cppcheck. Needs build/native/compile_commands.json.
set -euo pipefail
cd "$(dirname "$0")/.."
sources=(state/*.cpp convert/*.cpp ui/*.cpp platform/posix.cpp platform/posix_main.cpp)

echo "== clang-tidy"
clang-tidy -p build/native --quiet "${sources[@]}" 2>/dev/null

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --enable=warning,performance,portability \
  --inline-suppr -I . "${sources[@]}"
echo "ok: static checks"
