#!/usr/bin/env bash
# Builds the program and the unit tests a second time with AddressSanitizer
# and UndefinedBehaviorSanitizer (build/asan) and runs the tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
cmake --build build/asan -j "$(nproc)" >/dev/null
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$(nproc)"
