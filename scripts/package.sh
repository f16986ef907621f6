#!/bin/sh
# Builds the Debian package: a Release build in build-package/ for /usr, then cpack into dist/.
#   sudo apt install ./dist/lockwell_*.deb
set -e
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
sh scripts/deps.sh
BUILD="$ROOT/build-package"
# Debian's hardening flags (fortified functions, read-only relocations bound at start).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DLOCKWELL_WERROR=ON \
    -DLOCKWELL_TESTS=OFF -DLOCKWELL_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
rm -rf "$BUILD/cpack"
cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$BUILD/cpack"
mkdir -p dist
for deb in "$BUILD"/cpack/*.deb; do
    cp "$deb" dist/
    echo "dist/$(basename "$deb")"
done
