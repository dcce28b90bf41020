#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A search on a LAN of thousands of agents: two network namespaces joined by
# one veth pair (no route out of either), a manager holding 10.203.0.1/16 and
# a host holding COUNT addresses from 10.203.1.0 on, where one process
# answers Find Agents' broadcast from every one of them as fast as it can
# send (bench_search_responder). The real window, in the manager's
# namespace, clicks Find Agents and waits for every row (bench_search).
# Needs root; prints SKIPPED and exits 0 without it.
#
# The run is made at Debian's default net.core.rmem_max (212,992 bytes),
# the largest receive buffer an unprivileged program can have: the script
# sets it for the run and puts the old value back after, also when the run
# fails or is interrupted. (The limit is the whole machine's: no namespace
# has one of its own.) RMEM_MAX=N runs at another limit.
#
#   bench/search_lan.sh BUILD_DIR [COUNT] [RUNS]
#
# Prints, per run: "search rows=.. expected=.. click_to_last_row_ms=..
# longest_stall_ms=.. dropped=.." and the status line.
set -euo pipefail

build=$(realpath "${1:?usage: bench/search_lan.sh BUILD_DIR [COUNT] [RUNS]}")
count=${2:-5000}
runs=${3:-3}
[ "$count" -ge 1 ] && [ "$count" -le 16000 ] || { echo "COUNT must be 1..16000" >&2; exit 2; }

if [ "$(id -u)" -ne 0 ] || ! ip netns add "brs$$-probe" 2>/dev/null; then
    echo "search LAN: SKIPPED (network namespaces need root)"
    exit 0
fi
ip netns del "brs$$-probe"

mgr=brs$$-mgr
agents=brs$$-agents
work=$(mktemp -d)
responder_pid=""
rmem_max_before=""
cleanup() {
    [ -n "$responder_pid" ] && kill "$responder_pid" 2>/dev/null || true
    ip netns del "$mgr" 2>/dev/null || true
    ip netns del "$agents" 2>/dev/null || true
    [ -n "$rmem_max_before" ] && sysctl -q -w net.core.rmem_max="$rmem_max_before" || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

rmem_max_before=$(sysctl -n net.core.rmem_max)
sysctl -q -w net.core.rmem_max="${RMEM_MAX:-212992}"
echo "search LAN: net.core.rmem_max=$(sysctl -n net.core.rmem_max) for the run (was $rmem_max_before)"

ip netns add "$mgr"
ip netns add "$agents"
ip -n "$mgr" link set lo up
ip -n "$agents" link set lo up
ip -n "$mgr" link add seg0 type veth peer name eth0 netns "$agents"
ip -n "$mgr" addr add 10.203.0.1/16 dev seg0
ip -n "$mgr" link set seg0 up
# The agents' addresses, 10.203.1.0 on, all on one interface.
for ((i = 0; i < count; i++)); do
    n=$((256 + i))
    echo "addr add 10.203.$((n / 256)).$((n % 256))/16 dev eth0"
done >"$work/addresses"
ip -n "$agents" -batch "$work/addresses"
ip -n "$agents" link set eth0 up

for run in $(seq 1 "$runs"); do
    ip netns exec "$agents" timeout 60 "$build/bench/bench_search_responder" --first 10.203.1.0 --count "$count" \
        >"$work/responder.out" 2>&1 &
    responder_pid=$!
    for _ in $(seq 1 50); do
        grep -q '^listening' "$work/responder.out" && break
        sleep 0.1
    done
    grep -q '^listening' "$work/responder.out" || { cat "$work/responder.out" >&2; exit 1; }
    status=0
    ip netns exec "$mgr" timeout 120 env BRELLAN_SEARCH_INTERFACES=lo,seg0 QT_QPA_PLATFORM=offscreen \
        "$build/bench/bench_search" --count "$count" >"$work/search.out" 2>&1 || status=$?
    wait "$responder_pid" || true
    responder_pid=""
    # One line of figures (Qt's own warnings left out), then the status line.
    # (A run that printed none still gets its line, and the next run follows.)
    figures=$(grep -hE '^(rows|expected|click_to_last_row_ms|longest_stall_ms|dropped|answered|seconds)=' \
        "$work/search.out" "$work/responder.out" | tr '\n' ' ' || true)
    echo "search run=$run $figures"
    grep '^status=' "$work/search.out" || true
    [ "$status" -eq 0 ] || echo "search run=$run: not every row came (exit status $status)" >&2
done
