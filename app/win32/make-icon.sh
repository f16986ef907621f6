#!/bin/sh
# Rebuilds lockwell.ico (16, 32 and 48 pixels) from the program's PNG icons with ImageMagick.
set -e
cd "$(dirname "$0")"
ICONS=../../desktop/resources/icons
# The system's ImageMagick, whatever stands earlier on the path.
CONVERT=/usr/bin/convert
"$CONVERT" "$ICONS/lockwell-32.png" -resize 16x16 /tmp/lockwell-16.$$.png
"$CONVERT" /tmp/lockwell-16.$$.png "$ICONS/lockwell-32.png" "$ICONS/lockwell-48.png" lockwell.ico
rm -f /tmp/lockwell-16.$$.png
