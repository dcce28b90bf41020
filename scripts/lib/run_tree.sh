# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that build the program to start it: scripts/run.sh
# and the screenshots. They share one tree, build-run/ of the sources.
#
#   build_program COMMUNITY
#       Builds the program alone in build-run/ for the SNMP community
#       COMMUNITY, and sets `program` to its path. Release and warnings as
#       errors, as the plain test build (scripts/test.sh): where the builds
#       go through ccache, as CI's do, the objects come from that build's.

build_program() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    cmake -S "$root" -B "$root/build-run" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELLAN_WERROR=ON \
        -DBRELLAN_TESTS=OFF "-DBRELLAN_COMMUNITY=$1" >/dev/null
    cmake --build "$root/build-run" --target brellan
    # shellcheck disable=SC2034 # for the caller
    program=$root/build-run/app/brellan
}
