#!/bin/sh
# The Windows programs as built for shipping: one .exe needing only DLLs that come with
# Windows (the GCC, C++ and thread runtimes linked in), address-space randomisation
# (DYNAMIC_BASE), no executable data (NX_COMPAT), stack canaries (__stack_chk_fail) and the
# fortified copies' failure path (__chk_fail).
#   windows_pe_test.sh OBJDUMP PROGRAM...
set -u
[ $# -gt 1 ] || { echo "usage: $0 OBJDUMP PROGRAM..." >&2; exit 2; }
objdump=$1
shift
failed=0
fail() { echo "$1: $2"; failed=1; }
for program in "$@"; do
    [ -f "$program" ] || { fail "$program" "missing"; continue; }
    headers=$("$objdump" -p "$program")
    for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        case $(echo "$dll" | tr 'A-Z' 'a-z') in
        libstdc++* | libgcc* | libwinpthread* | libssp* | libbz2*) fail "$program" "needs $dll beside it" ;;
        esac
    done
    echo "$headers" | grep -q 'DYNAMIC_BASE' || fail "$program" "no DYNAMIC_BASE"
    echo "$headers" | grep -q 'NX_COMPAT' || fail "$program" "no NX_COMPAT"
    symbols=$("$objdump" -t "$program")
    echo "$symbols" | grep -q '__stack_chk_fail' || fail "$program" "no stack protector (__stack_chk_fail)"
    echo "$symbols" | grep -q '__chk_fail' || fail "$program" "no fortified calls (__chk_fail)"
    [ "$failed" -ne 0 ] || echo "$program: static runtime, DYNAMIC_BASE, NX_COMPAT, stack protector, fortified"
done
exit "$failed"
