#!/bin/sh
# Installs the Debian packages Lockwell needs to build, test and run; quiet when all are there.
# With "windows", also what the MinGW-w64 cross build and its tests under Wine need, in the
# same single apt-get call.
set -e
PACKAGES="build-essential cmake pkg-config libbz2-dev bzip2 qt6-base-dev qt6-base-dev-tools
 libgl1-mesa-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core fonts-liberation
 libmagic-dev python3 python3-pycryptodome openssl xvfb xauth xclip xdotool x11-apps qt6ct xdg-utils
 qt6-wayland sway wtype wl-clipboard
 shared-mime-info desktop-file-utils libglib2.0-bin libfile-mimeinfo-perl gtk-update-icon-cache clang clang-format libclang-rt-14-dev
 appstream man-db groff-base dpkg-dev file fusefat dosfstools"
# fusefat and dosfstools give the tests a FAT folder through FUSE.
# xvfb, xdotool and ImageMagick drive the Windows window program and take its picture;
# wine32 runs the i686 build.
WINDOWS_PACKAGES="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386 zip imagemagick"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
UPDATE=0
if [ "$1" = windows ]; then
    PACKAGES="$PACKAGES $WINDOWS_PACKAGES"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
        UPDATE=1
    fi
    # apt-get source (libbz2 for Windows is built from Debian's source) needs a deb-src
    # entry; Debian's images carry none.
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        . /etc/os-release
        $SUDO tee /etc/apt/sources.list.d/lockwell-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME:-bookworm}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        UPDATE=1
    fi
fi
MISSING=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || MISSING="$MISSING $p"
done
[ -z "$MISSING" ] && [ "$UPDATE" = 0 ] && exit 0
[ -n "$MISSING" ] && echo "Installing:$MISSING"
$SUDO apt-get update -qq
[ -z "$MISSING" ] && exit 0
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $MISSING >/dev/null
