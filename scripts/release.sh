#!/usr/bin/env bash
# Builds the download from fresh build directories: build/release/
# morvane-<version>.zip (morvane.exe, the 32-bit program; morvane-x64.exe;
# README.txt; LICENSE.txt; an example tags.ini) and SHA256SUMS beside it,
# covering the zip and both programs.
#
# The bytes depend only on the commit: the programs carry no link time and
# no build path, and the zip's files have the commit's time, a fixed order
# and no owner or extra attributes. Two builds of one commit, anywhere and at
# any time, give the same checksums (tests/check_release.sh checks that).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh >/dev/null

version=$(sed -n 's/^project(morvane VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
[ -z "$(git status --porcelain 2>/dev/null)" ] ||
  echo "release: the work tree has uncommitted changes: this build is not the commit's" >&2
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)

out=build/release
rm -rf "$out"
mkdir -p "$out"
for target in i686:win32 x86_64:win64; do
  cmake -S . -B "$out/${target#*:}" -DCMAKE_BUILD_TYPE=Release -DMORVANE_TARGET="${target%:*}" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "$out/${target#*:}" -j "$(nproc)" >/dev/null
done

package=morvane-$version
stage=$out/$package
mkdir -p "$stage"
cp "$out/win32/morvane.exe" "$stage/morvane.exe"
cp "$out/win64/morvane.exe" "$stage/morvane-x64.exe"
# Text files for Windows: CR LF line ends.
sed "s/@VERSION@/$version/; s/\$/\r/" docs/README.txt >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
cp docs/tags.ini "$stage/tags.ini"

files=(morvane.exe morvane-x64.exe README.txt LICENSE.txt tags.ini)
chmod 644 "${files[@]/#/$stage/}"
touch -d "@$epoch" "${files[@]/#/$stage/}" "$stage"
(cd "$out" && TZ=UTC zip -q -X -D -9 "$package.zip" "${files[@]/#/$package/}")
touch -d "@$epoch" "$out/$package.zip"
(cd "$out" && sha256sum "$package.zip" "$package/morvane.exe" "$package/morvane-x64.exe" >SHA256SUMS)
echo "release: $out/$package.zip"
cat "$out/SHA256SUMS"
