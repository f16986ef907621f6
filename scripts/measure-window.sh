#!/bin/sh
# Measures the window on a real X server (Xvfb): how soon Yes at the stop question ends the
# program, and a full encryption's time against lockwell-cli with the same cipher. It is no
# test: run it by hand. The file (2 GiB unless --mib says otherwise) and one output at a time
# go to TMPDIR: about 4.3 GiB free there. Arguments go to tests/app/x11/measure_window.py
# (--mib N, --cipher 0-3, --repeat N, --into-job SECONDS).
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
sh "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ROOT/build" -j"$(nproc)" --target lockwell lockwell-cli >/dev/null
exec python3 "$ROOT/tests/app/x11/measure_window.py" "$ROOT/build/app/qt/lockwell" "$ROOT/build/cli/lockwell-cli" "$@"
