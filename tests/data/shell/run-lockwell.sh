#!/bin/sh
# Written by Lockwell's registration; removed by its uninstall.
LOCKWELL='/opt/lockwell/bin/lockwell'
nl='
'
paths=$@PATHS_VARIABLE@
status=0
run() {
  [ -d "$1" ] && return 0
  if [ ! -e "$1" ] && command -v notify-send >/dev/null 2>&1; then
    notify-send "Lockwell" "Cannot find $1"
    status=1
    return 0
  fi
  # Else a missing file is reported by the program's own box.
  "$LOCKWELL" "$1" &
}
f=$1
case $f in ''|/*) ;; *) f=$PWD/$f ;; esac
if [ -n "$paths" ] && [ "$paths" != "$f$nl" ] && [ "$paths" != "$f" ]; then
  while [ -n "$paths" ]; do
    p=${paths%%"$nl"*}
    case $paths in *"$nl"*) paths=${paths#*"$nl"} ;; *) paths= ;; esac
    [ -z "$p" ] || run "$p"
  done
elif [ $# -gt 0 ]; then
  for a in "$@"; do
    case $a in /*) ;; *) a=$PWD/$a ;; esac
    run "$a"
  done
else
  # Without a file the program would ask about installing.
  exit 1
fi
exit $status
