#!/usr/bin/env bash
# The native program under valgrind: no memory error, no leak, and no heap
# allocation of its own (what the C library allocates for standard input
# and output does not grow with the report).
set -euo pipefail
cd "$(dirname "$0")/.."
program=build/native/morvane
fail() { echo "FAIL: $*" >&2; exit 1; }

# The project's code calls no allocation function at all.
allocators='^(malloc|calloc|realloc|free|posix_memalign|aligned_alloc|operator new|operator delete)'
if nm -C -u build/native/libmorvane_core.a | sed 's/^ *U //' | grep -E "$allocators"; then
  fail "the project's code calls an allocation function"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
heap_allocations() {
  printf '%s\nno\ncancel\n' "$1" >"$work/answers"
  (cd "$work" && TMPDIR="$work" valgrind --error-exitcode=1 --leak-check=full --show-leak-kinds=all \
      --errors-for-leak-kinds=all "$OLDPWD/$program" <answers >/dev/null 2>valgrind.log) ||
    { cat "$work/valgrind.log"; fail "valgrind reported errors on $1"; }
  grep -q 'ERROR SUMMARY: 0 errors' "$work/valgrind.log" || fail "errors on $1"
  sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p' "$work/valgrind.log" | tr -d ,
}

small=$(heap_allocations "$PWD/samples/regshot-report.txt")
{
  printf 'Keys added: 20000\r\n'
  for i in $(seq 1 20000); do printf 'HKLM\\SOFTWARE\\Vendor\\Key%d\r\n' "$i"; done
  printf '\r\n'
} >"$work/large.txt"
large=$(heap_allocations "$work/large.txt")
[ "$small" = "$large" ] || fail "heap allocations grow with the report: $small, then $large"
echo "ok: no valgrind errors or leaks; $small heap allocations (the C library's stdio buffers) for both reports"
