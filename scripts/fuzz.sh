#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz. Each target first runs every
# saved input of its seed corpus (fuzz/corpus/<target>) once, whole, then explores from
# a copy of it for a bounded time. Any crash, leak, failed check, input slower than the
# timeout or memory blow-up fails the run; the input that did it is left in
# build-fuzz/run/<target>/ and its log is printed. As many targets run at a time as there
# are processors.
#
#   scripts/fuzz.sh                       10 seconds per target with a fixed seed (what CI runs)
#   scripts/fuzz.sh --seconds 3600        a longer run, an hour per target, new seed each time
#   scripts/fuzz.sh --seconds 600 DecryptJobFuzz   chosen targets only
#   scripts/fuzz.sh --seed 7              the exploration with seed 7 (printed on every run)
#
# To reproduce a finding: build-fuzz/fuzz/<target> <input file>
set -e
cd "$(dirname "$0")/.."
EACH=10
# CI's short run makes the same choices every time; a longer one asked for by hand
# draws its own seed (libFuzzer's 0) unless --seed is given.
SEED=1
SEED_GIVEN=0
TARGETS=""
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) EACH="$2"; shift 2; [ "$SEED_GIVEN" = 1 ] || SEED=0 ;;
    --seed) SEED="$2"; SEED_GIVEN=1; shift 2 ;;
    -*) echo "usage: $0 [--seconds N] [--seed N] [target...]" >&2; exit 2 ;;
    *) TARGETS="$TARGETS $1"; shift ;;
    esac
done
[ -n "$TARGETS" ] || TARGETS=$(cd fuzz/corpus && ls)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCKWELL_FUZZ=ON \
    -DLOCKWELL_WERROR=OFF -DLOCKWELL_GUI=OFF -DLOCKWELL_TESTS=OFF -DLOCKWELL_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build build-fuzz -j"$(nproc)" --target $TARGETS

# One target: its saved inputs once, then the exploration; 1 and a log on any finding.
fuzz_one() {
    t=$1
    work="build-fuzz/run/$t"
    rm -rf "$work"
    mkdir -p "$work/corpus"
    # Every saved input as it is, longer ones included (the exploration cuts at -max_len).
    saved=$(find fuzz/corpus/"$t" -type f | wc -l)
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        build-fuzz/fuzz/"$t" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/" \
        fuzz/corpus/"$t"/* >"$work/replay.log" 2>&1; then
        echo "fuzz $t: a saved input FAILED, log in $work/replay.log" >&2
        tail -n 60 "$work/replay.log" >&2
        return 1
    fi
    # New inputs go to the copy; the committed seeds stay as they are.
    cp fuzz/corpus/"$t"/* "$work/corpus/"
    if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        build-fuzz/fuzz/"$t" "$work/corpus" -seed="$SEED" -max_total_time="$EACH" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$work/" >"$work/log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
        used=$(sed -n 's/^INFO: Seed: *//p' "$work/log" | head -n 1)
        echo "fuzz $t: $saved saved inputs replayed; ${EACH}s with seed $used, $runs inputs, no findings"
    else
        echo "fuzz $t: FAILED, log and input in $work" >&2
        tail -n 60 "$work/log" >&2
        return 1
    fi
}

# As many targets at a time as there are processors, each lane taking every n-th target.
LANES=$(nproc)
FOUND="build-fuzz/run/found"
mkdir -p build-fuzz/run
: >"$FOUND"
lane=0
while [ "$lane" -lt "$LANES" ]; do
    (
        i=0
        for t in $TARGETS; do
            [ $((i % LANES)) = "$lane" ] && { fuzz_one "$t" || echo " $t" >>"$FOUND"; }
            i=$((i + 1))
        done
    ) &
    lane=$((lane + 1))
done
wait
FAILED=$(tr -d '\n' <"$FOUND")
[ -z "$FAILED" ] || { echo "fuzz findings in:$FAILED" >&2; exit 1; }
