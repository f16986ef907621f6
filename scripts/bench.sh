#!/bin/sh
# Builds the benchmarks (Release, build-bench), runs each of them and the command-line
# peers side by side, and prints one table of Lockwell's figures against the peers'.
# Bench-only packages are installed here and nowhere else.
#
#   BENCH_REPS     repeats of each command-line run, the best counts (2)
#   BENCH_FE2_MIB  file for the ".fe2" jobs and their peers (512)
#   BENCH_FEZ_MIB  file for the ".fez" jobs and bzip2, lbzip2 (256)
#   BENCH_BIG_MIB  ".fez" round trip whose peak memory is shown; 0 leaves it out (4096)
#   BENCH_SKIP     bench executables to leave out, an extended regex (none)
#   BENCH_PARTS    what to run, of "gb speed fe2 fez big" (all)
#   BENCH_MERGE    results folders of earlier runs whose figures fill the rows this run left out
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
sh scripts/deps.sh

BENCH_PACKAGES="libssl-dev libgcrypt20-dev lbzip2 bzip2 openssl"
MISSING=""
for p in $BENCH_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || MISSING="$MISSING $p"
done
if [ -n "$MISSING" ]; then
    echo "Installing:$MISSING"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $MISSING >/dev/null
fi

PARTS=" ${BENCH_PARTS:-gb speed fe2 fez big} "
part() { case "$PARTS" in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
REPS=${BENCH_REPS:-2}
FE2_MIB=${BENCH_FE2_MIB:-512}
FEZ_MIB=${BENCH_FEZ_MIB:-256}
BIG_MIB=${BENCH_BIG_MIB:-4096}
BUILD="$ROOT/build-bench"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLOCKWELL_GUI=OFF -DLOCKWELL_TESTS=OFF \
    -DLOCKWELL_BENCH=ON >/dev/null
# A bench that does not build is left out with a warning rather than stopping the rest.
if ! cmake --build "$BUILD" -j"$(nproc)" -- -k >"$BUILD/build.log" 2>&1; then
    echo "warning: some targets did not build, see $BUILD/build.log" >&2
fi
[ -x "$BUILD/cli/lockwell-cli" ] || { echo "lockwell-cli did not build, see $BUILD/build.log" >&2; exit 1; }

STAMP=$(date -u +%Y%m%d-%H%M%S)
RESULTS="$BUILD/results-$STAMP"
WORK="$BUILD/work-$STAMP"
mkdir -p "$RESULTS" "$WORK/out" "$WORK/dec"
trap 'rm -rf "$WORK"' EXIT
trap 'exit 1' INT TERM
TABLE="python3 $ROOT/bench/table.py"
CLI="$BUILD/cli/lockwell-cli"

# Timed runs: "timed KEY BYTES COMMAND...", the output folders emptied and synced first
# so no write-back of an earlier run lands in a later one.
timed() {
    rm -f "$WORK"/out/* "$WORK"/dec/*
    sync
    key=$1 bytes=$2
    shift 2
    $TABLE time "$RESULTS" "$key" "$bytes" -- "$@"
}

part gb && echo "== Google Benchmark executables"
part gb && for exe in "$BUILD"/bench/*; do
    [ -f "$exe" ] && [ -x "$exe" ] || continue
    name=$(basename "$exe")
    if [ -n "$BENCH_SKIP" ] && echo "$name" | grep -Eq "$BENCH_SKIP"; then
        continue
    fi
    echo "-- $name"
    LOCKWELL_BENCH_DIR="$WORK" "$exe" --benchmark_out="$RESULTS/$name.json" --benchmark_out_format=json ||
        echo "warning: $name failed; its rows stay empty" >&2
done

LEGACY="-provider legacy -provider default"
part speed && echo "== openssl speed, 8 KiB pieces"
part speed && for cipher in aes-192-cbc bf-cbc rc4; do
    extra=""
    [ "$cipher" = aes-192-cbc ] || extra="$LEGACY"
    $TABLE speed "$RESULTS" "$cipher/encrypt" -- openssl speed $extra -elapsed -seconds 3 -bytes 8192 -evp "$cipher"
    [ "$cipher" = rc4 ] ||
        $TABLE speed "$RESULTS" "$cipher/decrypt" -- openssl speed $extra -elapsed -seconds 3 -bytes 8192 -decrypt -evp "$cipher"
done

echo "== test files"
# Text-like data, so compression does real work: 16 MiB of words repeated.
python3 - "$WORK/text.txt" "$FE2_MIB" <<'EOF'
import random, sys
rng = random.Random(12345)
words = "lorem ipsum dolor sit amet, consectetur adipiscing elit. sed do eiusmod tempor incididunt ut labore et\n".split(" ")
block = " ".join(rng.choices(words, k=3_000_000) + [str(rng.randrange(100000)) for _ in range(1000)]).encode()[: 16 << 20]
with open(sys.argv[1], "wb") as out:
    for _ in range(int(sys.argv[2]) // 16 + 1):
        out.write(block)
    out.truncate(int(sys.argv[2]) << 20)
EOF
head -c $((FEZ_MIB << 20)) "$WORK/text.txt" >"$WORK/fez.txt"
echo "benchmark phrase" >"$WORK/phrase"
FE2_BYTES=$((FE2_MIB << 20))
FEZ_BYTES=$((FEZ_MIB << 20))
JOB="--dest $WORK/out --overwrite --yes --phrase-file $WORK/phrase"
KEY=000102030405060708090a0b0c0d0e0f1011121314151617
IV=000102030405060708090a0b0c0d0e0f

part fe2 && echo "== whole jobs, $FE2_MIB MiB file to file, warm cache"
cat "$WORK/text.txt" >/dev/null
i=0
part fe2 && while [ $i -lt "$REPS" ]; do
    timed "lockwell fe2 rijndael" $FE2_BYTES "$CLI" encrypt --cipher rijndael $JOB "$WORK/text.txt"
    timed "openssl enc aes-192-cbc" $FE2_BYTES openssl enc -aes-192-cbc -K $KEY -iv $IV -in "$WORK/text.txt" -out "$WORK/out/p"
    timed "dd copy" $FE2_BYTES dd if="$WORK/text.txt" of="$WORK/out/p" bs=8k status=none
    timed "lockwell fe2 blowfish" $FE2_BYTES "$CLI" encrypt --cipher blowfish $JOB "$WORK/text.txt"
    timed "openssl enc bf-cbc" $FE2_BYTES openssl enc $LEGACY -bf-cbc -K ${KEY%????????????????} -iv ${IV%????????????????} \
        -in "$WORK/text.txt" -out "$WORK/out/p"
    timed "lockwell fe2 rc4" $FE2_BYTES "$CLI" encrypt --cipher rc4 $JOB "$WORK/text.txt"
    timed "openssl enc rc4" $FE2_BYTES openssl enc $LEGACY -rc4 -K ${KEY%????????????????} -in "$WORK/text.txt" -out "$WORK/out/p"
    i=$((i + 1))
done

part fez && echo "== \".fez\" jobs and bzip2, $FEZ_MIB MiB"
part fez && bzip2 -5 -c "$WORK/fez.txt" >"$WORK/fez.bz2"
i=0
part fez && while [ $i -lt "$REPS" ]; do
    timed "lockwell fez encrypt" $FEZ_BYTES "$CLI" encrypt --cipher rijndael --compress $JOB "$WORK/fez.txt"
    mv "$WORK/out/fez.txt.fez" "$WORK/fez.txt.fez"
    timed "bzip2 -5" $FEZ_BYTES sh -c "bzip2 -5 -c '$WORK/fez.txt' >'$WORK/out/p'"
    timed "lbzip2 -5 -n 2" $FEZ_BYTES sh -c "lbzip2 -5 -n 2 -c '$WORK/fez.txt' >'$WORK/out/p'"
    timed "lockwell fez decrypt" $FEZ_BYTES "$CLI" decrypt --cipher rijndael $JOB "$WORK/fez.txt.fez"
    cmp -s "$WORK/out/fez.txt" "$WORK/fez.txt" || { echo "\".fez\" round trip differs" >&2; exit 1; }
    timed "bzip2 -d" $FEZ_BYTES sh -c "bzip2 -d -c '$WORK/fez.bz2' >'$WORK/out/p'"
    timed "lbzip2 -d -n 2" $FEZ_BYTES sh -c "lbzip2 -d -n 2 -c '$WORK/fez.bz2' >'$WORK/out/p'"
    i=$((i + 1))
done
rm -f "$WORK/fez.txt.fez" "$WORK/fez.bz2" "$WORK/fez.txt"

if part big && [ "$BIG_MIB" -gt 0 ]; then
    echo "== \".fez\" round trip of $BIG_MIB MiB, peak memory"
    i=0
    while [ $((i * FE2_MIB)) -lt "$BIG_MIB" ]; do
        cat "$WORK/text.txt"
        i=$((i + 1))
    done | head -c $((BIG_MIB << 20)) >"$WORK/big.txt"
    timed "lockwell big fez encrypt" $((BIG_MIB << 20)) "$CLI" encrypt --cipher rijndael --compress $JOB "$WORK/big.txt"
    mv "$WORK/out/big.txt.fez" "$WORK/big.txt.fez"
    timed "lockwell big fez decrypt" $((BIG_MIB << 20)) "$CLI" decrypt --cipher rijndael $JOB "$WORK/big.txt.fez"
    cmp -s "$WORK/out/big.txt" "$WORK/big.txt" || { echo "large \".fez\" round trip differs" >&2; exit 1; }
    rm -f "$WORK/big.txt" "$WORK/big.txt.fez" "$WORK"/out/*
fi

CPU=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
FLAGS=$(sed -n 's/^flags[[:space:]]*: //p' /proc/cpuinfo | head -n 1 | tr ' ' '\n' |
    grep -x -E 'aes|vaes|avx2|avx512f|gfni' | tr '\n' ' ' | sed 's/ $//')
[ -n "$FLAGS" ] && CPU="$CPU with $FLAGS"
{
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $CPU, $(nproc) cores; MB = 10^6 bytes; each peer measured in the same run."
    echo
    $TABLE print $BENCH_MERGE "$RESULTS" 2>"$RESULTS/sources.txt"
} >"$RESULTS/table.md"
echo
cat "$RESULTS/table.md"
echo
echo "(figures and their sources in $RESULTS)"
