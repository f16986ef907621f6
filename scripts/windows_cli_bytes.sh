#!/bin/sh
# The Windows lockwell-cli.exe (under Wine) and the Linux lockwell-cli write the same bytes:
# for every cipher, both formats and sizes around the cipher pieces and block edges, each
# tool's files equal the other's byte for byte, and each decrypts the other's.
# Usage: windows_cli_bytes.sh <linux lockwell-cli> <lockwell-cli.exe>
# WINEPREFIX and WINEDEBUG are taken from the environment.
set -e
if [ ! -x "$1" ] || [ ! -f "$2" ]; then
    echo "windows_cli_bytes: needs both $1 and $2" >&2
    exit 1
fi
LINUX_CLI=$(realpath "$1")
WINDOWS_CLI=$(realpath "$2")
START=$(date +%s)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
SIZES="0 1 15 16 17 8191 8192 8193 204800"
python3 - "$WORK/src" $SIZES <<'PY'
import os, random, sys
folder = sys.argv[1]
os.makedirs(folder)
rng = random.Random(20261208)
for size in sys.argv[2:]:
    with open(os.path.join(folder, "s" + size + ".bin"), "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(int(size))))
PY
printf 'Byte-equal phrase\n' >"$WORK/phrase"
FILES=""
for size in $SIZES; do FILES="$FILES s$size.bin"; done
FAILED=0
fail() {
    echo "windows_cli_bytes: $*"
    [ -f "$WORK/log" ] && cat "$WORK/log"
    FAILED=1
}

for cipher in rc4 blowfish serpent rijndael; do
    for format in fe2 fez; do
        flag=""
        [ "$format" = fez ] && flag="--compress"
        for side in linux windows; do
            rm -rf "$WORK/$side" && cp -r "$WORK/src" "$WORK/$side"
        done
        (cd "$WORK/linux" && "$LINUX_CLI" encrypt --cipher $cipher $flag --quiet --phrase-file ../phrase $FILES) >"$WORK/log" 2>&1 ||
            fail "$cipher $format: Linux encrypt failed"
        (cd "$WORK/windows" && wine "$WINDOWS_CLI" encrypt --cipher $cipher $flag --quiet --phrase-file ../phrase \
            $FILES) >"$WORK/log" 2>&1 || fail "$cipher $format: Windows encrypt failed"
        for f in $FILES; do
            cmp -s "$WORK/linux/$f.$format" "$WORK/windows/$f.$format" ||
                fail "$cipher $format $f: the two tools wrote different bytes"
        done
        # Each decrypts the other's files into a folder of its own.
        for side in linux windows; do
            rm -rf "$WORK/out-$side" && mkdir "$WORK/out-$side"
        done
        encrypted=""
        for f in $FILES; do encrypted="$encrypted $f.$format"; done
        (cd "$WORK/windows" && "$LINUX_CLI" decrypt --keep-doubtful --cipher $cipher --quiet --phrase-file ../phrase \
            --dest ../out-linux $encrypted) >"$WORK/log" 2>&1 || fail "$cipher $format: Linux decrypt of Windows files failed"
        (cd "$WORK/linux" && wine "$WINDOWS_CLI" decrypt --keep-doubtful --cipher $cipher --quiet --phrase-file ../phrase \
            --dest ../out-windows $encrypted) >"$WORK/log" 2>&1 || fail "$cipher $format: Windows decrypt of Linux files failed"
        for f in $FILES; do
            cmp -s "$WORK/src/$f" "$WORK/out-linux/$f" || fail "$cipher $format $f: Linux did not get the source back"
            cmp -s "$WORK/src/$f" "$WORK/out-windows/$f" || fail "$cipher $format $f: Windows did not get the source back"
        done
    done
done

# Names outside the code page, a path past 260 characters and a program folder outside it:
# each file encrypted (its source wiped) and decrypted back (the .fe2 wiped) by the tool
# run from that folder, and the neighbour whose name the code page would make of the
# first one untouched.
LONG=$(python3 -c 'print("/".join(["d" * 60] * 5))')
mkdir -p "$WORK/names/папка" "$WORK/names/$LONG" "$WORK/Загрузки"
cp "$WINDOWS_CLI" "$WORK/Загрузки/"
printf 'neighbour\n' >"$WORK/names/Lódz.txt"
text() { # enough lines of the name to look like the text it is
    for line in 1 2 3 4 5 6 7 8; do printf 'Notes on %s, line %s.\n' "$1" "$line"; done
}
for name in "Łódź.txt" "папка/файл.txt" "文件.txt" "$LONG/long.txt"; do
    text "$name" >"$WORK/names/$name"
    for step in "encrypt --cipher serpent $name" "decrypt --cipher serpent $name.fe2"; do
        # shellcheck disable=SC2086 # the step's words, the name last
        (cd "$WORK/names" && set -- $step && wine "$WORK/Загрузки/lockwell-cli.exe" "$1" "$2" "$3" --delete-source \
            --yes --quiet --phrase-file ../phrase "$name${4#"$name"}") >"$WORK/log" 2>&1 || fail "$name: $step failed"
    done
    [ "$(cat "$WORK/names/$name" 2>/dev/null)" = "$(text "$name")" ] && [ ! -e "$WORK/names/$name.fe2" ] ||
        fail "$name: not back as it was"
done
[ "$(cat "$WORK/names/Lódz.txt")" = neighbour ] || fail "Lódz.txt was touched"

# One typed phrase, one key: a file keyed with Windows-1251 bytes (as Windows wrote the
# phrase) opens on Windows from the phrase in UTF-8; a file the Windows tool keys from a
# UTF-8 phrase file (in the code page, as its window would) opens on Linux from the same file.
python3 - "$WORK" <<'PY'
import sys
work = sys.argv[1]
open(work + "/k1251", "wb").write("пароль\n".encode("cp1251"))
open(work + "/kutf", "wb").write("пароль\n".encode())
open(work + "/kcafe", "wb").write("café Grüße\n".encode())
open(work + "/names/phrase.txt", "w").write("Text under a phrase in other letters.\n" * 20)
PY
for pair in "linux k1251 windows kutf" "windows kcafe linux kcafe"; do
    # shellcheck disable=SC2086 # the pair's four words
    set -- $pair
    encrypter=$1 key=$2 decrypter=$3 typed=$4
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    for step in "$encrypter encrypt $key phrase.txt" "$decrypter decrypt $typed phrase.txt.fe2"; do
        # shellcheck disable=SC2086 # side, command, phrase file, name
        set -- $step
        tool=$LINUX_CLI
        [ "$1" = windows ] && tool="wine $WINDOWS_CLI"
        # shellcheck disable=SC2086 # wine and the program
        (cd "$WORK/names" && $tool "$2" --dest ../out --quiet --phrase-file "../$3" "$4") >"$WORK/log" 2>&1 ||
            fail "phrase $pair: $step failed"
        [ "$2" = encrypt ] && mv "$WORK/out/phrase.txt.fe2" "$WORK/names/"
    done
    grep -q "The key phrase matched as typed" "$WORK/log" || fail "phrase $pair: no word of the spelling"
    cmp -s "$WORK/names/phrase.txt" "$WORK/out/phrase.txt" || fail "phrase $pair: not the text back"
    rm -f "$WORK/names/phrase.txt.fe2"
done

[ "$FAILED" = 0 ] || exit 1
echo "windows_cli_bytes: 4 ciphers x 2 formats x $(echo $SIZES | wc -w) sizes equal and cross-decrypted in $(($(date +%s) - START)) s"
