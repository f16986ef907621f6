#!/bin/sh
# Written by Lockwell's registration; removed by its uninstall.
LOCKWELL='/opt/lockwell/bin/lockwell'
nl='
'
paths=$CAJA_SCRIPT_SELECTED_FILE_PATHS
f=$1
case $f in ''|/*) ;; *) f=$PWD/$f ;; esac
if [ -n "$paths" ]; then
  case $paths in "$f$nl"*) ;; *) f=${paths%%"$nl"*} ;; esac
fi
[ -d "$f" ] && exit 0
if [ ! -e "$f" ]; then
  if command -v notify-send >/dev/null 2>&1; then
    notify-send "Lockwell" "Cannot find $f"
    exit 1
  fi
  # Else the program's own box says it; with no path at all it would ask to install.
  [ -n "$f" ] || exit 1
fi
exec "$LOCKWELL" "$f"
