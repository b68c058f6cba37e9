#!/usr/bin/env bash
# Static checks of the project's code: clang-tidy (.clang-tidy lists the
# checks) and cppcheck. Needs build/native/compile_commands.json.
set -euo pipefail
cd "$(dirname "$0")/.."
sources=(state/*.cpp text/*.cpp convert/*.cpp backup/*.cpp files/*.cpp review/*.cpp written/*.cpp running/*.cpp tasks/*.cpp progress/*.cpp ui/*.cpp platform/file_window.cpp platform/bin_guard.cpp platform/posix.cpp platform/posix_settings.cpp platform/posix_registry.cpp platform/posix_files.cpp platform/posix_progress.cpp platform/posix_ui.cpp platform/posix_code_page.cpp platform/posix_running.cpp
  platform/posix_tasks.cpp platform/posix_restart.cpp platform/posix_main.cpp)

windows_sources=(platform/win32.cpp platform/win32_progress.cpp platform/win32_files.cpp platform/win32_recycle.cpp
  platform/win32_file_operation.cpp platform/win32_own_files.cpp platform/win32_registry.cpp platform/win32_running.cpp
  platform/win32_services.cpp platform/win32_tasks.cpp platform/win32_restart.cpp platform/win32_main.cpp)

echo "== clang-tidy"
clang-tidy -p build/native --quiet "${sources[@]}" 2>/dev/null

# The Windows layer, against the cross-compiler's own headers.
mingw_includes=()
while read -r dir; do mingw_includes+=(-isystem "$dir"); done < <(
  i686-w64-mingw32-g++-win32 -xc++ -E -v - </dev/null 2>&1 |
    sed -n '/#include <...> search starts here:/,/End of search list./p' | sed '1d;$d')
clang-tidy --quiet "${windows_sources[@]}" -- --target=i686-w64-mingw32 -std=c++20 -I. \
  "${mingw_includes[@]}" 2>/dev/null

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --enable=warning,performance,portability \
  --inline-suppr -I . "${sources[@]}" "${windows_sources[@]}"
echo "ok: static checks"
