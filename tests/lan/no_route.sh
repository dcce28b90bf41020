#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the no-route scenario in a network namespace of its own that has only
# the loopback interface: an snmpd on 127.0.0.1:161 and the window's trap
# port are private to it, and a broadcast has nowhere to go. The namespace
# ends with this script, and with it everything started inside.
#
# Exits 77 (skipped) when a network namespace cannot be created.
# Usage: no_route.sh /path/to/lan_scenarios [gtest arguments...]
set -euo pipefail

if [ "${1:-}" != --inside ]; then
    if ! unshare -n true 2>/dev/null; then
        echo "*** cannot create network namespaces: SKIPPED (the no-route test needs root) ***"
        exit 77
    fi
    exec unshare -n bash "$0" --inside "$@"
fi
shift
driver=$1
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/lib/cleanup.sh"
source "$root/scripts/lib/snmpd.sh"

# Inside: nothing but a loopback interface may exist here.
links=$(ip -o link show | awk -F': ' '{print $2}')
[ "$links" = lo ] || { echo "no-route test: unexpected interfaces: $links" >&2; exit 1; }
ip link set lo up

work=$(mktemp -d /tmp/brellan-noroute.XXXXXX)
on_exit rm -rf "$work"

if ! snmpd_start_and_wait --timeout 0.3 --probes 100 --every 0.2 "$work/agent" udp:127.0.0.1:161 127.0.0.1 <<'EOF'
rocommunity mervik default
sysDescr Brellan no-route agent
sysContact loopback@lan.test
sysName loopback-agent
sysLocation Nowhere
sysServices 72
EOF
then
    echo "no-route test: snmpd did not answer" >&2
    exit 1
fi

exit_with timeout 120 env QT_QPA_PLATFORM=offscreen MIBS= BRELLAN_LAN_INTERFACES=lo \
    "$driver" --gtest_filter='NoRoute.*' "$@"
