#!/bin/sh
# Runs a Windows test program under Wine on a virtual X server, in a Wine prefix of its
# own: a Wine session that started without a display goes on showing no windows, so this
# run must not join the session the other tests share.
# Usage: under_x.sh <prefix folder> <program> [arguments...]
set -eu
prefix=$1
shift
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run is missing: no virtual X server for the dialog tests"
    exit 77
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
exec xvfb-run -a wine "$@"
