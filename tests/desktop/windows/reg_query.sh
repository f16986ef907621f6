#!/bin/sh
# The shell entries as Wine's own registry tool reads them: written by the program, found
# under the user's classes, gone after removal.
# Usage: reg_query.sh <shell_entries_tool.exe>
set -u
tool=$1
export WINEDEBUG=-all
failures=0

expect_value() { # <key> <text the default value must show>
    out=$(wine reg query "HKEY_CURRENT_USER\\$1" /ve 2>/dev/null | tr -d '\r')
    if ! printf '%s\n' "$out" | grep -qF -- "REG_SZ    $2"; then
        echo "FAIL: $1 should hold [$2], reg query printed:"
        printf '%s\n' "$out"
        failures=$((failures + 1))
    fi
}

expect_absent() { # <key>
    if wine reg query "HKEY_CURRENT_USER\\$1" >/dev/null 2>&1; then
        echo "FAIL: $1 is still there"
        failures=$((failures + 1))
    fi
}

classes='software\classes'
wine "$tool" remove || exit 1
wine "$tool" install 'C:\Tools\app.exe' || exit 1
expect_value "$classes\\*\\shell\\Lockwell" 'Run Lockwell'
expect_value "$classes\\*\\shell\\Lockwell\\command" '"C:\Tools\app.exe" "%1"'
expect_value "$classes\\.fe2" 'Lockwell encrypted file'
expect_value "$classes\\.fez" 'Lockwell encrypted file'
expect_value "$classes\\Lockwell encrypted file" 'Lockwell encrypted file'
expect_value "$classes\\Lockwell encrypted file\\DefaultIcon" 'C:\Tools\app.exe,0'
expect_value "$classes\\Lockwell encrypted file\\shell\\open\\command" '"C:\Tools\app.exe" "%1"'

wine "$tool" remove || exit 1
for key in "$classes\\*\\shell\\Lockwell" "$classes\\.fe2" "$classes\\.fez" "$classes\\Lockwell encrypted file"; do
    expect_absent "$key"
done
[ "$failures" = 0 ] && echo "all entries read back as written"
exit "$failures"
