#!/bin/sh
# Installs the Debian packages Lockwell needs to build, test and run; quiet when all are there.
set -e
PACKAGES="build-essential cmake pkg-config libbz2-dev bzip2 qt6-base-dev qt6-base-dev-tools
 libgl1-mesa-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-liberation
 libmagic-dev python3 python3-pycryptodome openssl xvfb xauth xclip xdotool x11-apps xdg-utils
 qt6-wayland sway wtype wl-clipboard
 shared-mime-info desktop-file-utils libglib2.0-bin libfile-mimeinfo-perl gtk-update-icon-cache clang clang-format libclang-rt-14-dev
 appstream man-db groff-base dpkg-dev file"
MISSING=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || MISSING="$MISSING $p"
done
[ -z "$MISSING" ] && exit 0
echo "Installing:$MISSING"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $MISSING >/dev/null
