#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a private test LAN and runs the broadcast search inside it:
#
#   ns "mgr" (engine_tests) --veth-- ns "a" (snmpd, 10.201.1.2/24)
#                           --veth-- ns "b" (snmpd, 10.201.2.2/24)
#
# No namespace has a route out; the broadcast never reaches the host's own
# network. Everything built is torn down at the end, also on failure or
# interrupt. Exits 77 (skipped) when network namespaces cannot be created.
# Usage: broadcast_netns.sh /path/to/engine_tests
set -euo pipefail
tests=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/lib/cleanup.sh"
source "$root/scripts/lib/snmpd.sh"

tag=brl$$
mgr=$tag-mgr; a=$tag-a; b=$tag-b
port=16161
work=$(mktemp -d)
on_exit rm -rf "$work"

if ! ip netns add "$mgr" 2>/dev/null; then
    echo "cannot create network namespaces: skipped"
    exit 77
fi
on_exit ip netns del "$mgr"
for ns in "$a" "$b"; do
    ip netns add "$ns"
    on_exit ip netns del "$ns"
done

link() { # link <agent ns> <subnet>
    # Created inside the namespaces: the host's own never sees these links.
    ip -n "$mgr" link add "$tag-m$2" type veth peer name "$tag-x$2" netns "$1"
    ip -n "$mgr" addr add "10.201.$2.1/24" dev "$tag-m$2"
    ip -n "$mgr" link set "$tag-m$2" up
    ip -n "$1" addr add "10.201.$2.2/24" dev "$tag-x$2"
    ip -n "$1" link set "$tag-x$2" up
    ip -n "$1" link set lo up
}
ip -n "$mgr" link set lo up
link "$a" 1
link "$b" 2

agent() { # agent <ns> <name>
    snmpd_start --netns "$1" "$work/$2" "udp:0.0.0.0:$port" <<EOF
rocommunity mervik default
sysName $2
sysLocation lab
EOF
}
agent "$a" agent-a
agent "$b" agent-b

# Both agents start at once; then each must answer a unicast request.
snmpd_wait --netns "$a" "$work/agent-a" "10.201.1.2:$port"
snmpd_wait --netns "$b" "$work/agent-b" "10.201.2.2:$port"

BRELLAN_TEST_BROADCAST_PORT=$port BRELLAN_TEST_BROADCAST_AGENTS="10.201.1.2=agent-a,10.201.2.2=agent-b" \
    ip netns exec "$mgr" "$tests" --gtest_filter='BroadcastInNamespace.*' &
tests_pid=$!
on_exit_kill "$tests_pid"
status=0
wait "$tests_pid" || status=$?
exit "$status"
