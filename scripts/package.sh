#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Brellan's Debian package in build-deb/ and prints its path. On a
# fresh machine it first installs what it needs (scripts/deps.sh build
# package, as root). The program is compiled with Debian's hardening flags
# and stripped; the package's postinst grants the installed program
# cap_net_bind_service, so that every user receives traps on UDP 162.
#
# Usage: scripts/package.sh [--community NAME] [--homepage URL] [--maintainer "NAME <ADDRESS>"]
#   --community   the SNMP community the program is built for (default mervik);
#                 the package's description names it
#   --homepage    where the project is published (default: none named)
#   --maintainer  the package's maintainer (default: Brellan maintainers
#                 <maintainers@brellan.invalid>, an address that never exists)
# Then:  sudo apt-get install ./build-deb/brellan_*.deb
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
source scripts/lib/usage.sh

usage() { print_usage "$script"; }

settings=()
while [ $# -gt 0 ]; do
    case "$1" in
        --community | --homepage | --maintainer)
            [ $# -ge 2 ] || { echo "$1 needs a value" >&2; usage >&2; exit 2; }
            name=${1#--}
            settings+=("-DBRELLAN_${name^^}=$2")
            shift 2 ;;
        -h | --help) usage; exit 0 ;;
        *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
    esac
done

scripts/deps.sh build package
build="build-deb"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# Flags are read when the build directory is first configured: start afresh.
rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELLAN_TESTS=OFF ${settings[@]+"${settings[@]}"} >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/brellan_*.deb
