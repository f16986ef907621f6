#!/bin/sh
# Cross-builds the Windows programs with MinGW-w64: build-win64 (x86_64, with the tests,
# run under Wine) and build-win32 (i686, the programs and one smoke test under 32-bit
# Wine), then packs dist/lockwell-windows-<arch>.zip. Installs what is missing first, and
# builds the Linux lockwell-cli in build/ when it is not there; a second run only rebuilds
# what changed.
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
START=$(date +%s)
JOBS=$(nproc)
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# --- Packages, and the Linux tool the Windows one is compared with ----------------------
sh scripts/deps.sh windows
if [ ! -x build/cli/lockwell-cli ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCKWELL_WERROR=ON >/dev/null
    cmake --build build -j"$JOBS" --target lockwell-cli
fi

# --- libbz2 from Debian's source, once per architecture --------------------------------
SRC_CACHE="$ROOT/build-win64/bzip2-source"
BZ2_SRC=$(ls -d "$SRC_CACHE"/bzip2-*/ 2>/dev/null | head -n 1)
if [ -z "$BZ2_SRC" ] || [ ! -f "$BZ2_SRC/bzlib.c" ]; then
    rm -rf "$SRC_CACHE"
    mkdir -p "$SRC_CACHE"
    (cd "$SRC_CACHE" && apt-get source -qq bzip2 >apt-source.log 2>&1) || {
        echo "apt-get source bzip2 failed:" >&2
        cat "$SRC_CACHE/apt-source.log" >&2
        exit 1
    }
    BZ2_SRC=$(ls -d "$SRC_CACHE"/bzip2-*/ | head -n 1)
fi
BZ2_SRC=${BZ2_SRC%/}

build_bzip2() { # <triplet> <out dir>
    if [ -f "$2/libbz2.a" ] && [ -f "$2/bzlib.h" ] && [ "$2/libbz2.a" -nt "$BZ2_SRC/bzlib.c" ]; then
        return
    fi
    mkdir -p "$2/obj"
    for f in blocksort huffman crctable randtable compress decompress bzlib; do
        "$1-gcc-posix" -O2 -Wall -D_FILE_OFFSET_BITS=64 -c "$BZ2_SRC/$f.c" -o "$2/obj/$f.o"
    done
    rm -f "$2/libbz2.a"
    "$1-ar" rcs "$2/libbz2.a" "$2"/obj/*.o
    cp "$BZ2_SRC/bzlib.h" "$2/bzlib.h"
}

configure() { # <tree> <toolchain arch> [cmake options]
    tree=$1
    arch=$2
    shift 2
    build_bzip2 "$arch-w64-mingw32" "$ROOT/$tree/bzip2"
    cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCKWELL_WERROR=ON "$@" \
        -DBZIP2_INCLUDE_DIR="$ROOT/$tree/bzip2" -DBZIP2_LIBRARY_RELEASE="$ROOT/$tree/bzip2/libbz2.a" >/dev/null
}

# Each tree has its own Wine prefix, made once and quietly: the first start of Wine
# otherwise sets it up in the middle of a test and prints pages about it. One server per
# prefix stays up, its services started here with their output going nowhere: a service
# started by a test would inherit that test's output and hold ctest's pipe open.
# The prefix draws with Wine's null graphics driver: windows, dialogs and the clipboard work
# the same with or without a display, on any machine. Left to itself, Wine loads its X11
# driver, and where no display opens, what a window test can do depends on what is
# installed. The window program's own test brings its prefix and X server.
wine_session() { # <tree> <win32|win64>
    export WINEPREFIX="$ROOT/$1/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -f "$WINEPREFIX/system.reg" ] && ! wine cmd /c exit >/dev/null 2>&1 </dev/null; then
        # Made before wine32 was installed, or left half made: it never works, so it goes.
        echo "windows.sh: the Wine prefix $WINEPREFIX does not start programs; making it anew"
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        WINEARCH=$2 wineboot -i >/dev/null 2>&1 </dev/null
        wineserver -w
    fi
    if ! grep -q '^"Graphics"="null"' "$WINEPREFIX/user.reg"; then
        # A server started before the change keeps the driver it has.
        wineserver -k >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
        wineserver -w
    fi
    # A server kept from an earlier run (or started by hand) answers 2 here; it is used as it is.
    wineserver -p || [ $? = 2 ]
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    # The desktop closes once no program uses it, and the next window a test makes would
    # start it again holding that test's output open, so ctest would wait for it: a window
    # of the session's own keeps it up until the server ends.
    wine notepad.exe >/dev/null 2>&1 </dev/null &
}
end_sessions() {
    for tree in build-win64 build-win32; do
        [ -d "$ROOT/$tree/wine" ] && WINEPREFIX="$ROOT/$tree/wine" wineserver -k >/dev/null 2>&1
    done
    return 0
}
trap end_sessions EXIT

# --- x86_64: the programs and the tests, run under Wine -------------------------------
configure build-win64 x86_64
wine_session build-win64 win64
cmake --build build-win64 -j"$JOBS"
(cd build-win64 && ctest --output-on-failure -j"$JOBS")
# The Windows tool writes the Linux tool's bytes and reads its files.
sh scripts/windows_cli_bytes.sh build/cli/lockwell-cli build-win64/cli/lockwell-cli.exe

# --- i686: the programs and one smoke test under 32-bit Wine --------------------------
# The tests are listed when they run, not after the build, so the build needs no 32-bit Wine.
configure build-win32 i686 -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
# lockwell-cli and lockwell only once the tree builds them for Windows.
TARGETS=test_crypto
for t in lockwell-cli lockwell; do
    # Not grep -q: it would stop reading early and make the build tool complain of a broken pipe.
    if cmake --build build-win32 --target help | grep "^\.\.\. $t\$" >/dev/null; then
        TARGETS="$TARGETS $t"
    fi
done
cmake --build build-win32 -j"$JOBS" --target $TARGETS
if installed wine32:i386; then
    wine_session build-win32 win32
    wine build-win32/tests/test_crypto.exe --gtest_brief=1 --gtest_filter='CipherVectors*:Sha1*:Rijndael*:Serpent*:Blowfish*:Rc4*'
    if [ -f build-win32/cli/lockwell-cli.exe ]; then
        wine build-win32/cli/lockwell-cli.exe --help >/dev/null
    fi
    # The window program, driven on a virtual X server (skipped, with the reason, without one).
    if [ -f build-win32/app/win32/lockwell.exe ]; then
        LOCKWELL_LINUX_CLI="$ROOT/build/cli/lockwell-cli" \
            sh tests/app/win32/window_under_wine.sh build-win32/app/win32/lockwell.exe build-win32/wine-window ||
            [ $? = 77 ] || exit 1
    fi
else
    echo "i686 smoke run skipped: wine32:i386 is not installed, so 32-bit Windows programs cannot run here"
fi

# --- Packs ----------------------------------------------------------------------------
mkdir -p dist
for arch in i686 x86_64; do
    tree=build-win32
    [ "$arch" = x86_64 ] && tree=build-win64
    stage="$ROOT/$tree/pack/lockwell-windows-$arch"
    rm -rf "$stage"
    mkdir -p "$stage"
    cp LICENSE THIRD_PARTY_NOTICES.md packaging/windows/README.txt "$stage/"
    # Stripped programs in the pack; their debugging information stays in the tree,
    # linked from the program by name for a debugger that finds it there.
    for exe in "$tree"/cli/*.exe "$tree"/app/win32/*.exe; do
        if [ -f "$exe" ]; then
            "$arch-w64-mingw32-objcopy" --only-keep-debug "$exe" "$exe.debug"
            "$arch-w64-mingw32-objcopy" --strip-debug --strip-unneeded --add-gnu-debuglink="$exe.debug" "$exe" \
                "$stage/$(basename "$exe")"
        fi
    done
    for exe in "$stage"/*.exe; do
        if "$arch-w64-mingw32-objdump" -h "$exe" | grep -q '\.debug_'; then
            echo "windows.sh: $exe still holds debugging information" >&2
            exit 1
        fi
    done
    rm -f "dist/lockwell-windows-$arch.zip"
    (cd "$stage/.." && zip -q -r "$ROOT/dist/lockwell-windows-$arch.zip" "lockwell-windows-$arch")
    echo "dist/lockwell-windows-$arch.zip"
done
echo "windows.sh: $(($(date +%s) - START)) s"
