#!/usr/bin/env bash
# Remakes res/morvane.ico: a registry tree whose last key is struck out,
# drawn once large and scaled to the three sizes of the icon group.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$convert" -size 192x192 xc:none \
  -fill '#1f4e79' -draw 'roundrectangle 8,8 184,184 32,32' \
  -stroke white -strokewidth 12 -fill none \
  -draw 'line 52,40 52,148' -draw 'line 52,60 96,60' -draw 'line 52,104 96,104' -draw 'line 52,148 96,148' \
  -stroke none -fill white \
  -draw 'rectangle 96,44 156,76' -draw 'rectangle 96,88 156,120' \
  -fill '#d9534f' -draw 'rectangle 96,132 156,164' \
  -stroke white -strokewidth 8 -draw 'line 112,138 140,158' -draw 'line 140,138 112,158' \
  "$work/master.png"

for size in 16 32 48; do
  "$convert" "$work/master.png" -filter Lanczos -resize ${size}x${size} "$work/$size.png"
done
"$convert" "$work/16.png" "$work/32.png" "$work/48.png" morvane.ico
