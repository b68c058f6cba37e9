#!/usr/bin/env bash
# The main job: builds everything and converts the bundled sample report.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/build.sh

temp=$(mktemp -d)
trap 'rm -rf "$temp"' EXIT
echo "== converting samples/regshot-report.txt (native build; answers: No to editing, Cancel to cleaning)"
printf '%s\nno\ncancel\n' "$PWD/samples/regshot-report.txt" | (cd "$temp" && TMPDIR="$temp" "$OLDPWD/build/native/morvane")
echo "== $temp/morvane.reg"
cat "$temp/morvane.reg"
