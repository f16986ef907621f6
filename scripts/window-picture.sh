#!/bin/sh
# Renders docs/window-progress.png: the window in the middle of an encryption, taken from a
# real X server (Xvfb). Needs about 2 GiB free in /tmp for the job's file and output.
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
sh "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ROOT/build" -j"$(nproc)" --target lockwell >/dev/null
exec python3 "$ROOT/tests/app/x11/window_picture.py" "$ROOT/build/app/qt/lockwell" "$ROOT/docs/window-progress.png"
