#!/usr/bin/env bash
# Times the native program against a one-pass awk script on a generated
# report, side by side over several rounds, and checks that both write the
# same bytes; then times the same report as RegShot's Unicode builds write
# it (UTF-16LE). For scale, it also times sed doing only the root-name
# substitution, and wc -l, over the same report, in the same rounds.
# Usage: bench/run.sh [keys, default 1000000] [rounds, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-1000000}
rounds=${2:-5}
program=$PWD/build/native/morvane
awk_bin=$(command -v mawk || command -v awk)
[ -x "$program" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }

# In memory where the machine has it: the disk's writeback of one round's
# outputs would otherwise slow the next round by chance.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
"$awk_bin" -v keys="$keys" -f bench/make_report.awk >"$work/report.txt"
iconv -f UTF-8 -t UTF-16LE "$work/report.txt" >"$work/unicode.txt"
printf '%s\nno\ncancel\n' "$work/report.txt" >"$work/answers"
printf '%s\nno\ncancel\n' "$work/unicode.txt" >"$work/unicode-answers"
echo "report: $keys keys, $(stat -c %s "$work/report.txt") bytes (UTF-16LE: $(stat -c %s "$work/unicode.txt")); awk: $awk_bin"

now() { date +%s%N; }
run_morvane() {
  (cd "$work" && TMPDIR="$work" /usr/bin/time -f %M -o "$work/rss" "$program" <"${1:-answers}" >/dev/null)
}
run_awk() { "$awk_bin" -f bench/convert.awk "$work/report.txt" >"$work/awk.reg"; }
run_sed() { sed 's/^HKLM\\/HKEY_LOCAL_MACHINE\\/; s/^HKU\\/HKEY_USERS\\/' "$work/report.txt" >"$work/sed.txt"; }
run_wc() { wc -l "$work/report.txt" >/dev/null; }

morvane_times=() awk_times=() sed_times=() wc_times=() unicode_times=() peak=0
track_peak() { rss=$(cat "$work/rss"); [ "$rss" -le "$peak" ] || peak=$rss; }
for round in $(seq 1 "$rounds"); do
  start=$(now); run_morvane; morvane_times+=($(($(now) - start))); track_peak
  start=$(now); run_awk; awk_times+=($(($(now) - start)))
  start=$(now); run_sed; sed_times+=($(($(now) - start)))
  start=$(now); run_wc; wc_times+=($(($(now) - start)))
done
cmp "$work/morvane.reg" "$work/awk.reg" || { echo "FAIL: the outputs differ" >&2; exit 1; }
for round in $(seq 1 "$rounds"); do
  start=$(now); run_morvane unicode-answers; unicode_times+=($(($(now) - start))); track_peak
done
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$work/awk.reg"; } | cmp - "$work/morvane.reg" ||
  { echo "FAIL: the UTF-16LE script is not the ANSI one in UTF-16LE" >&2; exit 1; }

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m=$(median "${morvane_times[@]}") a=$(median "${awk_times[@]}") u=$(median "${unicode_times[@]}")
sd=$(median "${sed_times[@]}") wl=$(median "${wc_times[@]}")
awk -v m="$m" -v a="$a" -v u="$u" -v sd="$sd" -v wl="$wl" -v peak="$peak" -v rounds="$rounds" 'BEGIN {
  printf "median of %d rounds: morvane %.3f s, awk %.3f s, ratio %.2f\n", rounds, m / 1e9, a / 1e9, m / a
  printf "for scale: sed (root names only) %.3f s, ratio %.2f; wc -l %.3f s, ratio %.2f\n", sd / 1e9, m / sd, wl / 1e9, m / wl
  printf "UTF-16LE report: morvane %.3f s, %.2f times the ANSI run\n", u / 1e9, u / m
  printf "morvane peak memory: %.1f MB\n", peak / 1024
}'
echo "outputs identical: $(grep -c "^\\[-" "$work/awk.reg") entries"
