#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/build.sh

echo "== unit tests (native build)"
ctest --test-dir build/native --output-on-failure -j "$(nproc)"

echo "== Windows program"
bash tests/check_exe.sh build/win32/morvane.exe

echo "== Windows program under Wine"
timeout 900 bash tests/wine/e2e.sh build/win32/morvane.exe
