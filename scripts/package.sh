#!/usr/bin/env bash
# Builds Brellan's Debian package in build-deb/ and prints its path. On a
# fresh machine it first installs what it needs (scripts/deps.sh build
# package, as root). The program is compiled with Debian's hardening flags
# and stripped; the package's postinst grants the installed program
# cap_net_bind_service, so that every user receives traps on UDP 162.
#
# Usage: scripts/package.sh
# Then:  sudo apt-get install ./build-deb/brellan_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build package
build="build-deb"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# Flags are read when the build directory is first configured: start afresh.
rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELLAN_TESTS=OFF >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/brellan_*.deb
