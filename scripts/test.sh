#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# FUZZ_SECONDS (default 45) sets how long each fuzz target runs.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh || exit 1
bash scripts/build.sh || exit 1

passed=0 failed=0 failures=()
step() {
  local name=$1
  shift
  echo
  echo "==== $name"
  local started=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
  echo "==== $name: $((SECONDS - started)) s"
}

step "unit tests (native build)" ctest --test-dir build/native --output-on-failure -j "$(nproc)"
step "unit tests (AddressSanitizer, UBSan)" bash scripts/sanitize.sh
step "valgrind" bash tests/valgrind.sh
step "static checks" bash scripts/check.sh
step "fuzzing" bash scripts/fuzz.sh
step "benchmark (small report, to check it works)" bash bench/run.sh 20000 1
step "the Windows programs, as files" bash tests/check_exe.sh
step "the release, built twice from two clones" bash tests/check_release.sh
# Under qemu's i386 emulator the Wine test takes about 22 minutes with the
# two builds one after the other; they now run side by side.
step "the Windows program under Wine" timeout 2400 bash tests/wine/e2e.sh

echo
source scripts/host.sh
echo "note: $(host_describe)."
host_runs_32bit ||
  echo "note: so build/win32/morvane.exe was checked as a file (tests/check_exe.sh) but not run;" \
    "build/win64/morvane.exe ran under Wine in its place."
[ "$failed" -eq 0 ] || printf 'failed: %s\n' "${failures[@]}"
echo "test steps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
