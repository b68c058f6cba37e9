#!/usr/bin/env bash
# The release is reproducible: two clones of this commit, in two different
# directories, built at two different times, give the same zip and the same
# programs, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for clone in first "second place"; do
  git clone -q "$PWD" "$work/$clone"
  (cd "$work/$clone" && bash scripts/release.sh >/dev/null 2>&1) || fail "scripts/release.sh failed in $clone"
  sleep 2
done
cmp "$work/first/build/release/SHA256SUMS" "$work/second place/build/release/SHA256SUMS" ||
  { diff "$work/first/build/release/SHA256SUMS" "$work/second place/build/release/SHA256SUMS"; fail "the checksums differ"; }
(cd "$work/first/build/release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
zip=$(ls "$work/first/build/release/"*.zip)
listing=$(unzip -Z1 "$zip")
[ "$listing" = "$(printf '%s\n' morvane.exe morvane-x64.exe README.txt LICENSE.txt tags.ini | sed "s|^|$(basename "$zip" .zip)/|")" ] ||
  fail "the zip holds: $listing"
echo "ok: two builds of $(git rev-parse --short HEAD) gave the same checksums:"
cat "$work/first/build/release/SHA256SUMS"
