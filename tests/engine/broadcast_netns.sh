#!/bin/sh
# Builds a private test LAN and runs the broadcast search inside it:
#
#   ns "mgr" (engine_tests) --veth-- ns "a" (snmpd, 10.201.1.2/24)
#                           --veth-- ns "b" (snmpd, 10.201.2.2/24)
#
# No namespace has a route out; the broadcast never reaches the host's own
# network. Exits 77 (skipped) when network namespaces cannot be created.
# Usage: broadcast_netns.sh /path/to/engine_tests
set -u
tests=$1
tag=brl$$
mgr=$tag-mgr; a=$tag-a; b=$tag-b
port=16161
work=$(mktemp -d)
pids=""

cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    for ns in $mgr $a $b; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

ip netns add "$mgr" 2>/dev/null || { echo "cannot create network namespaces: skipped"; exit 77; }
ip netns add "$a" && ip netns add "$b" || exit 1

link() { # link <agent ns> <subnet>
    # Created inside the namespaces: the host's own never sees these links.
    ip -n "$mgr" link add "$tag-m$2" type veth peer name "$tag-x$2" netns "$1" || exit 1
    ip -n "$mgr" addr add "10.201.$2.1/24" dev "$tag-m$2" && ip -n "$mgr" link set "$tag-m$2" up || exit 1
    ip -n "$1" addr add "10.201.$2.2/24" dev "$tag-x$2" && ip -n "$1" link set "$tag-x$2" up || exit 1
    ip -n "$1" link set lo up
}
ip -n "$mgr" link set lo up
link "$a" 1
link "$b" 2

agent() { # agent <ns> <name>
    mkdir -p "$work/$2"
    printf 'rocommunity mervik default\nsysName %s\nsysLocation lab\n' "$2" > "$work/$2/snmpd.conf"
    SNMP_PERSISTENT_DIR="$work/$2" MIBS= ip netns exec "$1" snmpd -f -C -c "$work/$2/snmpd.conf" \
        -Lf "$work/$2/log" "udp:0.0.0.0:$port" &
    pids="$pids $!"
}
agent "$a" agent-a
agent "$b" agent-b

# Wait (bounded) until both agents answer a unicast request.
for target in "$a 10.201.1.2" "$b 10.201.2.2"; do
    set -- $target
    n=0
    until MIBS= ip netns exec "$1" snmpget -v1 -c mervik -r 0 -t 0.5 "$2:$port" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; do
        n=$((n + 1)); [ $n -ge 40 ] && { echo "agent at $2 did not start"; cat "$work"/*/log; exit 1; }
        sleep 0.25
    done
done

BRELLAN_TEST_BROADCAST_PORT=$port BRELLAN_TEST_BROADCAST_AGENTS="10.201.1.2=agent-a,10.201.2.2=agent-b" \
    ip netns exec "$mgr" "$tests" --gtest_filter='BroadcastInNamespace.*'
