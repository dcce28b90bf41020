#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Configuring with an empty community, or one of 256 octets, must stop
# with a message that names the setting; 255 octets are accepted.
#   refused_communities.sh CMAKE SOURCE_DIR
set -u
cmake=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

long=$(printf '%0255d' 0)
expect_refused() { # NAME VALUE MESSAGE
    if "$cmake" -S "$source" -B "$work/$1" -DBRELLAN_TESTS=OFF -DBRELLAN_GUI=OFF "-DBRELLAN_COMMUNITY=$2" \
        >"$work/$1.log" 2>&1; then
        echo "FAILED: a community $1 was accepted"
        status=1
    elif ! grep -q "$3" "$work/$1.log"; then
        echo "FAILED: a community $1 was refused without saying why:"
        cat "$work/$1.log"
        status=1
    else
        echo "refused, as it should be: a community $1"
    fi
}
expect_refused empty "" "BRELLAN_COMMUNITY is empty"
expect_refused of-256-octets "${long}x" "BRELLAN_COMMUNITY is 256 octets long"
if ! "$cmake" -S "$source" -B "$work/ok" -DBRELLAN_TESTS=OFF -DBRELLAN_GUI=OFF "-DBRELLAN_COMMUNITY=$long" \
    >"$work/ok.log" 2>&1; then
    echo "FAILED: a community of 255 octets was refused:"
    cat "$work/ok.log"
    status=1
fi
exit $status
