#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UBSan, and runs
# each for FUZZ_SECONDS (default 45). For a longer hunt:
#   FUZZ_SECONDS=3600 bash scripts/fuzz.sh
# New inputs collect in build/fuzz/corpus-*; crashes are saved as crash-* in
# build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-45}

CXX=clang++ cmake -S . -B build/fuzz -DMORVANE_FUZZ=ON -DMORVANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build build/fuzz -j "$(nproc)" >/dev/null

for target in report tags backup list; do
  # Absolute paths: the targets work in a sandbox directory of their own.
  corpus=$PWD/build/fuzz/corpus-$target
  mkdir -p "$corpus"
  echo "== fuzz_$target for ${seconds}s"
  "build/fuzz/tests/fuzz/fuzz_$target" "$corpus" "$PWD/tests/fuzz/corpus/$target" \
    -dict="$PWD/tests/fuzz/report.dict" -max_len=20000 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$PWD/build/fuzz/" 2>"build/fuzz/fuzz_$target.log" ||
    { tail -n 40 "build/fuzz/fuzz_$target.log"; exit 1; }
  # The log quotes the inputs, which may be binary.
  grep -aE '^stat::number_of_executed_units|^Done' "build/fuzz/fuzz_$target.log"
done
