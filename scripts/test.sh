#!/bin/sh
# Installs what is missing, builds with warnings as errors, runs every test, then
# builds a second tree with address and undefined-behaviour sanitizers and runs them again.
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
JOBS=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCKWELL_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLOCKWELL_WERROR=ON \
    -DLOCKWELL_SANITIZE=address,undefined -DLOCKWELL_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$JOBS")

# Every fuzz target for a bounded time from its seed corpus (clang, its own tree).
sh scripts/fuzz.sh
