#!/bin/sh
# The shipped programs carry the hardening the Release build asks for: position-independent
# (ELF type DYN, PIE flag), relocations bound at start and then read-only (BIND_NOW, GNU_RELRO),
# stack canaries (__stack_chk_fail) and fortified libc calls (some __*_chk).
#   hardening_test.sh PROGRAM...
set -u
command -v readelf >/dev/null || { echo "readelf is missing (binutils)"; exit 77; }
[ $# -gt 0 ] || { echo "usage: $0 PROGRAM..." >&2; exit 2; }
failed=0
fail() { echo "$1: $2"; failed=1; }
for program in "$@"; do
    [ -f "$program" ] || { fail "$program" "missing"; continue; }
    readelf -h "$program" | grep -Eq 'Type:[[:space:]]+DYN' || fail "$program" "not position-independent (type is not DYN)"
    dynamic=$(readelf -d "$program")
    echo "$dynamic" | grep -Eq '\(FLAGS_1\).*PIE' || fail "$program" "no PIE flag"
    echo "$dynamic" | grep -Eq '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ||
        fail "$program" "relocations are bound lazily (no BIND_NOW)"
    readelf -lW "$program" | grep -q 'GNU_RELRO' || fail "$program" "no read-only relocation segment (GNU_RELRO)"
    symbols=$(readelf -sW --dyn-syms "$program")
    echo "$symbols" | grep -q '__stack_chk_fail' || fail "$program" "no stack protector (__stack_chk_fail)"
    fortified=$(echo "$symbols" | grep -Eo '__[a-z0-9_]+_chk' | grep -v '^__stack_chk' | sort -u | tr '\n' ' ')
    [ -n "$fortified" ] || fail "$program" "no fortified libc calls (__*_chk)"
    [ "$failed" -ne 0 ] || echo "$program: PIE, BIND_NOW, RELRO, stack protector, fortified: $fortified"
done
exit "$failed"
