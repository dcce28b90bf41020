#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A module in ~/.snmp/mibs that crashes libsmi (a file that defines a second
# SNMPv2-SMI after another module) must not take the window down: the
# program, started with that module in a home of its own, still hands over
# the built-in names and keeps running. It runs in a network namespace of
# its own when it can (the trap port then stays private to it); without one
# it still runs, and may find UDP 162 taken or forbidden, which it survives.
#
# Usage: module_crash.sh /path/to/brellan
set -euo pipefail

if [ "${1:-}" != --inside ] && unshare -n true 2>/dev/null; then
    exec unshare -n bash "$0" --inside "$@"
fi
[ "${1:-}" = --inside ] && shift
program=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
home=$(mktemp -d)
log=$home/log
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT
mkdir -p "$home/.snmp/mibs"
cp "$here/mibs/CRASHES-LIBSMI-MIB" "$home/.snmp/mibs/FUZZ-MIB"

HOME=$home XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="brellan.names.info=true" \
    "$program" >"$log" 2>&1 &
pid=$!
for _ in $(seq 1 300); do
    grep -q "names ready" "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
sleep 0.5
cat "$log"
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended" >&2; exit 1; }
grep -q "names ready" "$log" || { echo "FAIL: no names were handed over in 30 s" >&2; exit 1; }
if grep -q "libsmi crashed" "$log"; then
    echo "PASS: libsmi crashed in the child, the window kept running with the built-in names"
else
    echo "PASS: the window kept running (this libsmi did not crash on the module)"
fi
