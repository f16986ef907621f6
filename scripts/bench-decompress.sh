#!/bin/sh
# Parallel bzip2 decompression against one library stream, bzip2 -d and lbzip2 -d -n 2.
# lbzip2 is a bench-only package, installed here when missing.
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
if ! command -v lbzip2 >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends lbzip2 >/dev/null
fi
BUILD="${BUILD:-$ROOT/build-bench}"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLOCKWELL_GUI=OFF -DLOCKWELL_TESTS=OFF \
    -DLOCKWELL_BENCH=ON >/dev/null
cmake --build "$BUILD" --target ParallelDecompressBench -j"$(nproc)" >/dev/null
"$BUILD/bench/ParallelDecompressBench" "$@"
