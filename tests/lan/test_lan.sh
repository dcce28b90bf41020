#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a private test LAN of network namespaces, runs the operator's
# scenarios against the real window and engine inside it, and always tears
# it down again (also on failure or interrupt).
#
#   ns "sw":  bridges br1 (10.202.1.0/24) and br2 (10.202.2.0/24)
#   ns "mgr": seg1 10.202.1.1 on br1, seg2 10.202.2.1 on br2,
#             default route into br1 only; runs lan_scenarios
#   ns "aN":  one snmpd on UDP 161 each, odd N on br1, even N on br2
#   ns "v6":  an IPv6 segment beside them (bridge br3, fd00:5::/64, no IPv4):
#             the manager's seg3 is fd00:5::1, the agent is fd00:5::2 and
#             fe80::5:2, its snmpd on udp6 only, and named core6.lan.test
#             (an AAAA-only name) in the manager's hosts file
#
# Agents 1..50 are ordinary; 51 hides sysContact from its view, 52 shows
# only the seven system objects, 53 answers another community. A hostile
# host, ns "x" at 10.202.1.200 on br1, runs no agent: the scenarios start
# lan_attacker there when they need it. Every link
# is created inside its namespaces, so the host's own namespace never sees
# one, and no namespace has a route out of the LAN.
#
# Exits 77 (skipped) when network namespaces cannot be created.
# Usage: test_lan.sh /path/to/lan_scenarios /path/to/lan_attacker [gtest arguments...]
set -euo pipefail
driver=$1
attacker=$2
shift 2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# What is built here is torn down in reverse order at the end, whatever ends
# the script; a command that fails ends it at once and is named.
source "$root/scripts/lib/cleanup.sh"
source "$root/scripts/lib/snmpd.sh"

tag=brl$$
sw=$tag-sw
mgr=$tag-mgr
ordinary=50
special=3
count=$((ordinary + special))
work=$(mktemp -d /tmp/brellan-lan.XXXXXX)
on_exit rm -rf "$work"

fail() { echo "test LAN: $*" >&2; exit 1; }

# add_namespace NAME: creates it, and deletes it at the end.
add_namespace() {
    ip netns add "$1" || fail "cannot create $1"
    on_exit ip netns del "$1"
}

if ! ip netns add "$sw" 2>/dev/null; then
    echo "*** cannot create network namespaces: SKIPPED (the test LAN needs root) ***"
    exit 77
fi
on_exit ip netns del "$sw"
if ! ip netns exec "$sw" true 2>/dev/null; then
    echo "*** cannot enter network namespaces: SKIPPED (the test LAN needs root) ***"
    exit 77
fi
add_namespace "$mgr"

for segment in 1 2; do
    ip -n "$sw" link add "br$segment" type bridge || fail "bridge br$segment"
    ip -n "$sw" link set "br$segment" up
done
ip -n "$sw" link set lo up
ip -n "$mgr" link set lo up
for segment in 1 2; do
    ip -n "$sw" link add "m$segment" type veth peer name "seg$segment" netns "$mgr" || fail "manager link $segment"
    ip -n "$sw" link set "m$segment" master "br$segment" up
    ip -n "$mgr" addr add "10.202.$segment.1/24" dev "seg$segment"
    ip -n "$mgr" link set "seg$segment" up
done
# The only default route leads into segment 1, to a gateway that does not exist.
ip -n "$mgr" route add default via 10.202.1.254 dev seg1 || fail "default route"

segment_of() { echo $(( ($1 + 1) % 2 + 1 )); } # odd agents on 1, even on 2
address_of() { echo "10.202.$(segment_of "$1").$(( 10 + $1 ))"; }

role_of() {
    case $1 in
        51) echo hidden-contact ;;
        52) echo system-only ;;
        53) echo other-community ;;
        *) echo ordinary ;;
    esac
}

# The community agent <n> answers.
community_of() {
    if [ "$(role_of "$1")" = other-community ]; then echo kestrel; else echo mervik; fi
}

# snmpd.conf for agent <n> with role <role>.
write_config() {
    local n=$1 role=$2 name
    name=$(printf 'lan-agent-%02d' "$n")
    case $role in
        hidden-contact)
            echo "view lan included .1"
            echo "view lan excluded .1.3.6.1.2.1.1.4"
            echo "rocommunity mervik default -V lan" ;;
        system-only)
            # Exactly sysDescr.0 .. sysServices.0: not sysORLastChange and the
            # rest of the system subtree, so GetNext(sysServices.0) finds nothing.
            for object in 1 2 3 4 5 6 7; do echo "view lan included .1.3.6.1.2.1.1.$object.0"; done
            echo "rocommunity mervik default -V lan" ;;
        other-community)
            echo "rocommunity kestrel default" ;;
        *)
            echo "rocommunity mervik default" ;;
    esac
    echo "sysDescr Brellan test LAN agent $n"
    echo "sysObjectID .1.3.6.1.4.1.8072.3.2.10"
    echo "sysContact noc-$n@lan.test"
    echo "sysName $name"
    echo "sysLocation Rack $n, segment $(segment_of "$n")"
    echo "sysServices 72"
}

description=$work/lan.tsv
for n in $(seq 1 "$count"); do
    ns=$tag-a$n
    segment=$(segment_of "$n")
    address=$(address_of "$n")
    role=$(role_of "$n")
    add_namespace "$ns"
    ip -n "$sw" link add "a$n" type veth peer name eth0 netns "$ns" || fail "link of agent $n"
    ip -n "$sw" link set "a$n" master "br$segment" up
    ip -n "$ns" addr add "$address/24" dev eth0
    ip -n "$ns" link set eth0 up
    ip -n "$ns" link set lo up

    snmpd_start --netns "$ns" "$work/a$n" udp:0.0.0.0:161 < <(write_config "$n" "$role")

    community=$(community_of "$n")
    # Columns: namespace, address, role, community, sysDescr, sysObjectID,
    # sysContact, sysName, sysLocation, the manager's address on its segment.
    printf 'agent\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$ns" "$address" "$role" "$community" \
        "Brellan test LAN agent $n" "1.3.6.1.4.1.8072.3.2.10" "noc-$n@lan.test" \
        "$(printf 'lan-agent-%02d' "$n")" "Rack $n, segment $segment" "10.202.$segment.1" >> "$description"
done

# The IPv6 segment, where the system has IPv6. Duplicate address detection
# is off in its namespaces (and its addresses are added "nodad"), so no
# address stays tentative for a second before it can be used.
ipv6_segment=no
if [ -e /proc/net/if_inet6 ]; then
    ipv6_segment=yes
    v6=$tag-v6
    add_namespace "$v6"
    for ns in "$mgr" "$v6"; do
        ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
    done
    ip -n "$sw" link add br3 type bridge || fail "bridge br3"
    ip -n "$sw" link set br3 up
    ip -n "$sw" link add m3 type veth peer name seg3 netns "$mgr" || fail "manager link 3"
    ip -n "$sw" link set m3 master br3 up
    ip -n "$mgr" addr add fd00:5::1/64 dev seg3 nodad
    ip -n "$mgr" link set seg3 up
    ip -n "$sw" link add v6 type veth peer name eth0 netns "$v6" || fail "link of the IPv6 agent"
    ip -n "$sw" link set v6 master br3 up
    # The agent's only link-local address is fe80::5:2: an agent listening
    # on [::] answers from the source address the system prefers, and a
    # second, generated one would answer in its place.
    ip -n "$v6" link set eth0 addrgenmode none
    ip -n "$v6" addr add fd00:5::2/64 dev eth0 nodad
    ip -n "$v6" addr add fe80::5:2/64 dev eth0 nodad
    ip -n "$v6" link set eth0 up
    ip -n "$v6" link set lo up
    snmpd_start --netns "$v6" "$work/v6" "udp6:[::]:161" <<'EOF6'
rocommunity6 mervik default
sysDescr Brellan test LAN agent over IPv6
sysObjectID .1.3.6.1.4.1.8072.3.2.10
sysContact noc-v6@lan.test
sysName lan-agent-v6
sysLocation Rack 6, IPv6 segment
sysServices 72
EOF6
    printf 'agent\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$v6" fd00:5::2 ipv6-only mervik \
        "Brellan test LAN agent over IPv6" "1.3.6.1.4.1.8072.3.2.10" "noc-v6@lan.test" lan-agent-v6 \
        "Rack 6, IPv6 segment" fd00:5::1 >> "$description"
fi

hostile=$tag-x
add_namespace "$hostile"
ip -n "$sw" link add x1 type veth peer name eth0 netns "$hostile" || fail "link of the hostile host"
ip -n "$sw" link set x1 master br1 up
ip -n "$hostile" addr add 10.202.1.200/24 dev eth0
ip -n "$hostile" link set eth0 up
ip -n "$hostile" link set lo up
printf 'attacker\t%s\t%s\n' "$hostile" 10.202.1.200 >> "$description"

# Wait until every agent answers a unicast request from the manager, all of
# them within 60 s: a probe that gets no answer takes half a second (0.3 s
# and 0.2 s between probes), so each agent gets two probes per second left.
deadline=$((SECONDS + 60))
for n in $(seq 1 "$count"); do
    left=$((deadline - SECONDS))
    snmpd_wait --netns "$mgr" --community "$(community_of "$n")" --timeout 0.3 --every 0.2 \
        --probes $((left > 0 ? 2 * left : 1)) "$work/a$n" "$(address_of "$n")" ||
        fail "agent $(address_of "$n") ($(role_of "$n")) did not answer within 60 s"
done
if [ "$ipv6_segment" = yes ]; then
    snmpd_wait --netns "$mgr" --timeout 0.3 --every 0.2 --probes 20 "$work/v6" "udp6:[fd00:5::2]" ||
        fail "the IPv6 agent fd00:5::2 did not answer"
fi
echo "test LAN up: $count agents on two segments and the IPv6 one ($ipv6_segment), ready after ${SECONDS} s"

# The manager's own name service, mounted over /etc by `ip netns exec`: a
# hosts file naming every agent "<sysName>.lan.test", and no resolver
# beyond it (a query for any other name fails at once, and nothing leaves
# the namespace).
names=/etc/netns/$mgr
mkdir -p "$names"
on_exit rm -rf "$names"
for n in $(seq 1 "$count"); do
    printf '%s\tlan-agent-%02d.lan.test\n' "$(address_of "$n")" "$n"
done >"$names/hosts"
echo "fd00:5::2	core6.lan.test" >>"$names/hosts"
echo "hosts: files" >"$names/nsswitch.conf"
echo "nameserver 127.0.0.1" >"$names/resolv.conf"

interfaces=lo,seg1,seg2
[ "$ipv6_segment" = yes ] && interfaces=$interfaces,seg3
# The driver refuses to run unless it sees exactly these interfaces. Its own
# time limit stays below ctest's, so the LAN is always torn down here
# (cleanup stops it with the agents).
exit_with ip netns exec "$mgr" timeout "${BRELLAN_LAN_TIMEOUT:-300}" env QT_QPA_PLATFORM=offscreen MIBS= \
    BRELLAN_LAN_DESCRIPTION="$description" BRELLAN_LAN_INTERFACES=$interfaces BRELLAN_LAN_ATTACKER="$attacker" \
    "$driver" --gtest_filter='TestLan.*:HostileLan.*' "$@"
