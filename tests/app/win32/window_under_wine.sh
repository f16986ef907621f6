#!/bin/sh
# lockwell.exe under Wine on a virtual X server, driven by xdotool:
#  1. on a file: the window shows (optionally saved as a picture), a typed phrase, Tab,
#     Space and Enter encrypt the file, and the settings and folder-list files beside the
#     program come out in their format;
#  2. the saved folders: reached by Tab, an item picked and deleted, the list saved at close;
#  3. without a file: Enter at the question installs the shell entries, Escape removes them.
# usage: window_under_wine.sh LOCKWELL_EXE WINE_PREFIX [SCREENSHOT.png]
# The Linux lockwell-cli named by LOCKWELL_LINUX_CLI, when there, decrypts the output.
# Exit 77 (with the reason) when Wine, Xvfb or xdotool are missing.
set -eu

EXE=$(realpath "$1")
export WINEPREFIX=$(realpath -m "$2")
SHOT=${3:+$(realpath -m "$3")}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${LOCKWELL_UNDER_X:-}" != 1 ]; then
    for tool in wine xvfb-run xdotool; do
        if ! command -v $tool >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (apt-get install wine xvfb xdotool)"
            exit 77
        fi
    done
    if [ -n "$SHOT" ] && ! command -v import >/dev/null 2>&1; then
        echo "SKIP: no ImageMagick import for the picture (apt-get install imagemagick)"
        exit 77
    fi
    LOCKWELL_UNDER_X=1 exec timeout 170 xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

fail() {
    echo "FAIL: $*"
    exit 1
}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
# Wine draws the frames itself: there is no window manager here.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

WORK=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
cp "$EXE" "$WORK/lockwell.exe"
yes "Lockwell under Wine: the same line again and again." | head -c 20000 >"$WORK/файл.txt"
# Saved folders in no order and with bare line feeds: written back sorted, each line CRLF.
printf 'C:\\zeta\nC:\\alpha\n' >"$WORK/lockwell.dat"
winpath() { echo "Z:$1" | tr / '\\'; }

# The window with the given title, waited for up to 30 seconds.
wait_window() {
    i=0
    while [ $i -lt 60 ]; do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.5
        i=$((i + 1))
    done
    return 1
}

# The program's process, waited for up to 30 seconds.
wait_exit() {
    i=0
    while kill -0 "$1" 2>/dev/null; do
        [ $i -lt 60 ] || fail "$2 did not end"
        sleep 0.5
        i=$((i + 1))
    done
    wait "$1" || fail "$2 ended with status $?"
}

# Keys go through the X test extension to the focused window: there is no window manager
# to activate one, so the window is given the focus itself.
focus() {
    xdotool windowfocus --sync "$1" >/dev/null 2>&1 || xdotool windowfocus "$1"
}
keys() { # <window> <xdotool key names...>
    focus "$1"
    shift
    xdotool key --delay 80 "$@"
}

# --- 1. the window on a file named outside the code page ----------------------------------
cd "$WORK"
wine lockwell.exe "$(winpath "$WORK/файл.txt")" &
PID=$!
WIN=$(wait_window Lockwell) || fail "the window did not show"
sleep 1 # first paint
if [ -n "$SHOT" ]; then
    import -window "$WIN" "$SHOT"
    echo "picture: $SHOT"
fi
focus "$WIN"
xdotool type --delay 60 "café sesame"
keys "$WIN" Tab space
BOX=$(wait_window Information) || fail "no box after the job"
keys "$BOX" Return
wait_exit $PID "the window run"

[ -f файл.txt.fe2 ] || fail "no файл.txt.fe2"
[ "$(stat -c %s файл.txt.fe2)" = 20000 ] || fail "файл.txt.fe2 has $(stat -c %s файл.txt.fe2) bytes, not 20000"
if ! cmp -s файл.txt файл.txt.fe2 2>/dev/null; then :; else fail "файл.txt.fe2 is the plain text"; fi
CLI=${LOCKWELL_LINUX_CLI:-}
if [ -n "$CLI" ] && [ -x "$CLI" ]; then
    mkdir out
    printf 'café sesame\n' >phrase
    # Typed in the window, the phrase was keyed in the code page (Windows-1252 here): the
    # Linux tool finds it from the same phrase in UTF-8 and says so.
    "$CLI" decrypt --cipher blowfish --phrase-file phrase --dest out --quiet файл.txt.fe2 >decrypt.log 2>&1 ||
        fail "lockwell-cli could not decrypt файл.txt.fe2: $(cat decrypt.log)"
    cmp -s файл.txt out/файл.txt || fail "файл.txt.fe2 does not decrypt to файл.txt"
    grep -q "matched as typed on a Windows system (Windows-1252)" decrypt.log ||
        fail "the phrase typed in the window was not keyed in Windows-1252: $(cat decrypt.log)"
    echo "ok: файл.txt.fe2, keyed from a phrase typed in the window, decrypts with the Linux lockwell-cli"
else
    echo "ok: файл.txt.fe2 has the source's size (no Linux lockwell-cli to decrypt it)"
fi
printf '[Options]\r\nCipher=1\r\n' >expected.ini
cmp -s expected.ini lockwell.ini || fail "lockwell.ini is not [Options] Cipher=1 in CRLF lines: $(od -c lockwell.ini | head -n 3)"
printf 'C:\\alpha\r\nC:\\zeta\r\n' >expected.dat
cmp -s expected.dat lockwell.dat || fail "lockwell.dat is not the sorted CRLF list: $(od -c lockwell.dat | head -n 3)"
echo "ok: window run, lockwell.ini and lockwell.dat"

# --- 2. the saved folders through the keyboard ------------------------------------------
# Eight Tabs from the key field reach the list past the disabled boxes (the tab order);
# Down picks the first folder, Delete takes it out, Escape closes and the list is saved.
printf 'C:\\zeta\r\nC:\\alpha\r\nC:\\mid\r\n' >lockwell.dat
wine lockwell.exe "$(winpath "$WORK/файл.txt")" &
PID=$!
WIN=$(wait_window Lockwell) || fail "the window did not show again"
sleep 1
keys "$WIN" Tab Tab Tab Tab Tab Tab Tab Tab Down Delete Escape
wait_exit $PID "the folder run"
printf 'C:\\mid\r\nC:\\zeta\r\n' >expected.dat
cmp -s expected.dat lockwell.dat || fail "lockwell.dat after Down and Delete in the list: $(od -c lockwell.dat | head -n 3)"
echo "ok: tab order to the folder list, its selection and Delete key, saved at close"

# --- 3. the registration run ---------------------------------------------------------------
KEY='HKCU\software\classes\*\shell\Lockwell'
wine reg delete "$KEY" /f >/dev/null 2>&1 || true
wine lockwell.exe &
PID=$!
BOX=$(wait_window Confirm) || fail "no registration question"
keys "$BOX" Return # Yes is the default
wait_exit $PID "the registration run (Yes)"
wine reg query "$KEY" >/dev/null 2>&1 || fail "Yes did not install the shell entries"
wine lockwell.exe &
PID=$!
BOX=$(wait_window Confirm) || fail "no registration question"
keys "$BOX" Escape # answers No
wait_exit $PID "the registration run (Escape)"
if wine reg query "$KEY" >/dev/null 2>&1; then fail "Escape (No) did not remove the shell entries"; fi
echo "ok: registration Yes installs, Escape removes"
