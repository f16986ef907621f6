#!/bin/sh
# Installs what is missing, builds with warnings as errors, runs every test, then
# builds a second tree with address and undefined-behaviour sanitizers and runs them again,
# and a third with the thread sanitizer for the tests that run several threads. Each
# stage's time is printed at the end, also when a stage fails.
#
#   LOCKWELL_FORMAT_CHECK=0   skips the check that every C++ file is as scripts/format.sh leaves it
#   LOCKWELL_WINDOWS=0        skips the Windows cross build and its tests under Wine
set -e
cd "$(dirname "$0")/.."
JOBS=$(nproc)
WINDOWS=${LOCKWELL_WINDOWS:-1}

TIMES=""
CURRENT=""
STARTED=$(date +%s)
report() {
    status=$?
    [ -n "$CURRENT" ] && TIMES="$TIMES$(printf '\n  %-34s %5d s  FAILED' "$CURRENT" $(($(date +%s) - SINCE)))"
    printf '\nStage times:%s\n  %-34s %5d s\n' "$TIMES" "all" $(($(date +%s) - STARTED))
    exit $status
}
trap report EXIT
stage() { # <name> <command...>
    CURRENT=$1
    shift
    SINCE=$(date +%s)
    "$@"
    TIMES="$TIMES$(printf '\n  %-34s %5d s' "$CURRENT" $(($(date +%s) - SINCE)))"
    CURRENT=""
}

install() {
    if [ "$WINDOWS" = 1 ]; then sh scripts/deps.sh windows; else sh scripts/deps.sh; fi
    if [ "${LOCKWELL_FORMAT_CHECK:-1}" = 1 ]; then sh scripts/format.sh --check; fi
}
linux() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCKWELL_WERROR=ON >/dev/null
    cmake --build build -j"$JOBS"
    (cd build && ctest --output-on-failure -j"$JOBS")
}
# -O1, as the sanitizers' own guides advise: the checks are the same, and the tests take
# less than half the time they take unoptimised.
sanitizers() {
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DLOCKWELL_WERROR=ON \
        -DLOCKWELL_SANITIZE=address,undefined -DLOCKWELL_BENCH=OFF >/dev/null
    cmake --build build-asan -j"$JOBS"
    # The process-killing suites run in the tree above; under the sanitizers they would take
    # seven minutes of test time more, and reach no code the other suites do not.
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j"$JOBS" -E '^(CrashSafety|Interrupt)[.]')
}
# Only the threaded code: parallel bzip2 both ways, the streaming .fez steps, progress and stop.
threads() {
    cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCKWELL_WERROR=ON \
        -DLOCKWELL_SANITIZE=thread -DLOCKWELL_GUI=OFF -DLOCKWELL_BENCH=OFF >/dev/null
    cmake --build build-tsan -j"$JOBS" --target test_compress test_jobs
    (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j"$JOBS" \
        -R '(^|/)(ParallelCompress[A-Za-z]*|ParallelDecompress|StreamingFez|StreamingPieces|JobProgress)[.]')
}

stage "install, format check" install
stage "Linux: build, tests" linux
stage "address/UB sanitizers" sanitizers
stage "thread sanitizer" threads
# The Windows programs, cross-built with MinGW-w64; their tests run under Wine.
if [ "$WINDOWS" = 1 ]; then
    stage "Windows: builds, tests under Wine" sh scripts/windows.sh
fi
# Every fuzz target for a bounded time from its seed corpus (clang, its own tree).
stage "fuzz targets" sh scripts/fuzz.sh
