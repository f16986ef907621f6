#!/bin/sh
# Written by Lockwell's registration; removed by its uninstall.
LOCKWELL='/opt/lockwell/bin/lockwell'
for f in "$@"; do
  case $f in /*) ;; *) f=$PWD/$f ;; esac
  [ -f "$f" ] || continue
  "$LOCKWELL" "$f" &
done
