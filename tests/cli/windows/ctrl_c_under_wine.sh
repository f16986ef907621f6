#!/bin/sh
# Ctrl+C on lockwell-cli.exe mid-job, under Wine on a pseudo-terminal (Wine gives a
# program started without one no console to send the event through):
#   - one press stops the job: status 1, no output and no working file left, the source
#     as it was, for an encryption and a decryption;
#   - two presses end the tool at once: still nothing left but the source.
#
#   ctrl_c_under_wine.sh <console_ctrl_c.exe> <lockwell-cli.exe>
# Exits 77 (skipped) without script(1).
set -e
HELPER=$1
CLI=$2
command -v script >/dev/null 2>&1 || { echo "skipped: no script(1) to give Wine a terminal"; exit 77; }
export WINEDEBUG=-all
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/job"
printf 'Ctrl+C phrase\n' >"$WORK/job/phrase"
# Large enough that the job is still writing when the press comes.
head -c 134217728 /dev/urandom >"$WORK/job/data"
WIN_JOB=$(winepath -w "$WORK/job")
WIN_RESULT=$(winepath -w "$WORK/result")
WIN_CLI=$(winepath -w "$CLI")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# <presses> <file> <verb>: the listing and the status line after pressing Ctrl+C.
press() {
    rm -f "$WORK/result"
    script -qec "wine '$HELPER' $1 '$WIN_JOB' '$WIN_RESULT' '\"$WIN_CLI\" $3 --cipher rijndael --quiet --phrase-file phrase $2'" \
        /dev/null >"$WORK/console" 2>&1 </dev/null || fail "$3 with $1 press(es): the helper failed: $(cat "$WORK/console")"
    [ -f "$WORK/result" ] || fail "$3 with $1 press(es): no result; console said: $(cat "$WORK/console")"
    RESULT=$(tr -d '\r' <"$WORK/result")
    LISTING=$(ls -A "$WORK/job" | tr '\n' ' ')
}

# One press while encrypting: stopped, the source untouched, nothing else in the folder.
SUM=$(md5sum <"$WORK/job/data")
press 1 data encrypt
[ "$RESULT" = "exit 1" ] || fail "encrypt, one press: $RESULT (the stop ends with status 1)"
[ "$LISTING" = "data phrase " ] || fail "encrypt, one press left: $LISTING"
[ "$(md5sum <"$WORK/job/data")" = "$SUM" ] || fail "encrypt, one press: the source changed"
echo "ok: one Ctrl+C stops an encryption and leaves only the source"

# The same for a decryption, whose working file would hold plaintext.
(cd "$WORK/job" && wine "$CLI" encrypt --cipher rijndael --quiet --phrase-file phrase data >/dev/null 2>&1 </dev/null) ||
    fail "could not encrypt the source for the decryption"
rm "$WORK/job/data"
SUM=$(md5sum <"$WORK/job/data.fe2")
press 1 data.fe2 decrypt
[ "$RESULT" = "exit 1" ] || fail "decrypt, one press: $RESULT"
[ "$LISTING" = "data.fe2 phrase " ] || fail "decrypt, one press left: $LISTING"
[ "$(md5sum <"$WORK/job/data.fe2")" = "$SUM" ] || fail "decrypt, one press: the source changed"
echo "ok: one Ctrl+C stops a decryption and leaves no plaintext"

# Two presses: the second ends the tool at once, unless the stop has ended it already.
# Three rounds, as the two can land either side of the stop's own end.
for round in 1 2 3; do
    press 2 data.fe2 decrypt
    case "$RESULT" in
    "exit 1" | "exit 3221225786") ;; # stopped, or ended at once (STATUS_CONTROL_C_EXIT)
    *) fail "decrypt, two presses, round $round: $RESULT (a status of 0 would report success)" ;;
    esac
    [ "$LISTING" = "data.fe2 phrase " ] || fail "decrypt, two presses, round $round left: $LISTING"
    [ "$(md5sum <"$WORK/job/data.fe2")" = "$SUM" ] || fail "decrypt, two presses: the source changed"
    echo "ok: two Ctrl+C presses end the tool and leave no plaintext ($RESULT)"
done
