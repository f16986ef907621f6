#!/bin/sh
# Builds Lockwell when needed and starts it on the given file (no file: the
# install/remove question for the file-manager entries).
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
sh "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ROOT/build" -j"$(nproc)" --target lockwell lockwell-cli >/dev/null
exec "$ROOT/build/app/qt/lockwell" "$@"
