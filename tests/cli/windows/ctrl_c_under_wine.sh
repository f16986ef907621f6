#!/bin/sh
# Ctrl+C on lockwell-cli.exe mid-job, under Wine on a pseudo-terminal (Wine gives a
# program started without one no console to send the event through):
#   - mid-job a press stops the job: status 1, no output and no working file left, the
#     source as it was, for an encryption and a decryption;
#   - at the key-phrase prompt a press ends the tool at once with the interrupt status
#     (STATUS_CONTROL_C_EXIT), not 0, and nothing is written.
# A second press mid-job takes the prompt's way out; two presses at once are not sent, as
# Wine can then leave the ending process with a thread it never stops.
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

# <when> <arguments>: the listing and the status line after pressing Ctrl+C. The terminal's
# input stays open meanwhile, for the prompt.
press() {
    rm -f "$WORK/result" "$WORK/input"
    mkfifo "$WORK/input"
    sleep 120 >"$WORK/input" &
    HOLD=$!
    script -qec "wine '$HELPER' '$1' '$WIN_JOB' '$WIN_RESULT' '\"$WIN_CLI\" $2'" /dev/null \
        >"$WORK/console" 2>&1 <"$WORK/input" || { kill $HOLD; fail "$2: the helper failed: $(cat "$WORK/console")"; }
    kill $HOLD
    [ -f "$WORK/result" ] || fail "$2: no result; console said: $(cat "$WORK/console")"
    RESULT=$(tr -d '\r' <"$WORK/result")
    LISTING=$(ls -A "$WORK/job" | tr '\n' ' ')
}

# One press while encrypting: stopped, the source untouched, nothing else in the folder.
SUM=$(md5sum <"$WORK/job/data")
press new "encrypt --cipher rijndael --quiet --phrase-file phrase data"
[ "$RESULT" = "exit 1" ] || fail "encrypt, one press: $RESULT (the stop ends with status 1)"
[ "$LISTING" = "data phrase " ] || fail "encrypt, one press left: $LISTING"
[ "$(md5sum <"$WORK/job/data")" = "$SUM" ] || fail "encrypt, one press: the source changed"
echo "ok: one Ctrl+C stops an encryption and leaves only the source"

# The same for a decryption, whose working file would hold plaintext.
(cd "$WORK/job" && wine "$CLI" encrypt --cipher rijndael --quiet --phrase-file phrase data >/dev/null 2>&1 </dev/null) ||
    fail "could not encrypt the source for the decryption"
rm "$WORK/job/data"
SUM=$(md5sum <"$WORK/job/data.fe2")
press new "decrypt --cipher rijndael --quiet --phrase-file phrase data.fe2"
[ "$RESULT" = "exit 1" ] || fail "decrypt, one press: $RESULT"
[ "$LISTING" = "data.fe2 phrase " ] || fail "decrypt, one press left: $LISTING"
[ "$(md5sum <"$WORK/job/data.fe2")" = "$SUM" ] || fail "decrypt, one press: the source changed"
echo "ok: one Ctrl+C stops a decryption and leaves no plaintext"

# At the key-phrase prompt: no job to stop, so the tool ends at once.
press prompt "encrypt --cipher rijndael data.fe2"
[ "$RESULT" = "exit 3221225786" ] || fail "at the prompt: $RESULT (a status of 0 would report success)"
[ "$LISTING" = "data.fe2 phrase " ] || fail "at the prompt, left: $LISTING"
echo "ok: Ctrl+C at the key-phrase prompt ends the tool with the interrupt status"

# Phrases typed at the console prompt, read as Unicode: "пароль" (not in the code page)
# keys in UTF-8, so a file the Linux tool made with it opens as typed; "café" keys in the
# code page, and the Linux tool's UTF-8 file opens through that spelling, said in a line.
LINUX_CLI=${LOCKWELL_LINUX_CLI:-}
if [ -n "$LINUX_CLI" ] && [ -x "$LINUX_CLI" ]; then
    for phrase in "пароль" "café"; do
        rm -f "$WORK/job/t.txt" "$WORK/job/t.txt.fe2"
        yes "A text typed in a console." | head -n 40 >"$WORK/job/t.txt"
        printf '%s\n' "$phrase" >"$WORK/typed"
        (cd "$WORK/job" && "$LINUX_CLI" encrypt --cipher serpent --delete-source --yes --quiet --phrase-file ../typed \
            t.txt) >/dev/null 2>&1 || fail "$phrase: the Linux tool could not encrypt"
        press "type=$(winepath -w "$WORK/typed")" "decrypt --cipher serpent t.txt.fe2"
        [ "$RESULT" = "exit 0" ] || fail "$phrase typed at the prompt: $RESULT; console: $(tr -d '\r' <"$WORK/console")"
        [ "$(yes "A text typed in a console." | head -n 40)" = "$(cat "$WORK/job/t.txt")" ] ||
            fail "$phrase typed at the prompt: not the text back"
        if [ "$phrase" = café ]; then
            # The console draws blanks as cursor moves: compared without either.
            ESC=$(printf '\033')
            sed "s/$ESC\[[0-9;?]*[a-zA-Z]//g" "$WORK/console" | tr -d '\r ' | grep -q 'matchedastypedonLinux(UTF-8)' ||
                fail "café: no word of the spelling"
        fi
        echo "ok: $phrase typed at the console prompt opens the Linux tool's file"
    done
fi
