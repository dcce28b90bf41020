# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that run Net-SNMP's agent as a peer: the demo, the
# benchmarks, CI's checks and the test LANs. They source
# scripts/lib/cleanup.sh first: every agent started here is stopped when the
# script ends.
#
#   snmpd_start [--netns NS] DIR TRANSPORT <CONFIG
#       (CONFIG from a here-document or `< <(command)`, never a pipe: a
#       pipeline would run the function in a subshell, and its pid and
#       cleanup would be lost with it.)
#       Writes the configuration read from stdin to DIR/snmpd.conf and starts
#       `snmpd -f -C -c DIR/snmpd.conf -Lf DIR/snmpd.log TRANSPORT` in the
#       background (inside network namespace NS when given), with no MIB
#       files and its persistent state in DIR/persist. Sets snmpd_pid,
#       writes it to DIR/snmpd.pid and registers it with on_exit_kill. The
#       listening address is given only as
#       TRANSPORT: the same address in the file as well makes snmpd bind it
#       twice and exit.
#
#   snmpd_wait [--netns NS] [--community C] [--timeout S] [--probes N]
#              [--every S] DIR TARGET
#       Asks TARGET (host[:port]) for sysName.0 with snmpget, SNMPv1,
#       community C (mervik), one try of S seconds (0.5) each, from inside
#       NS when given, until it answers: at most N probes (40), S seconds
#       (0.25) apart. Stops early when the agent started in DIR has ended.
#       If it never answers, prints why and the end of DIR/snmpd.log on
#       stderr and returns 1.
#
#   snmpd_start_and_wait [--netns NS] [wait options] DIR TRANSPORT TARGET <CONFIG
#       Both, the agent and its probes in the same namespace.

if ! declare -F on_exit_kill >/dev/null; then
    echo "scripts/lib/snmpd.sh: source scripts/lib/cleanup.sh first" >&2
    return 1
fi

snmpd_start() {
    local netns=()
    if [ "${1:-}" = --netns ]; then
        netns=(ip netns exec "$2")
        shift 2
    fi
    local dir=$1 transport=$2
    mkdir -p "$dir/persist"
    cat >"$dir/snmpd.conf"
    MIBS='' SNMP_PERSISTENT_DIR="$dir/persist" "${netns[@]}" \
        snmpd -f -C -c "$dir/snmpd.conf" -Lf "$dir/snmpd.log" "$transport" </dev/null &
    snmpd_pid=$!
    on_exit_kill "$snmpd_pid"
    echo "$snmpd_pid" >"$dir/snmpd.pid"
}

snmpd_wait() {
    local netns=() community=mervik timeout=0.5 probes=40 every=0.25
    while [ $# -gt 2 ]; do
        case $1 in
            --netns) netns=(ip netns exec "$2") ;;
            --community) community=$2 ;;
            --timeout) timeout=$2 ;;
            --probes) probes=$2 ;;
            --every) every=$2 ;;
            *) echo "snmpd_wait: unknown option $1" >&2; return 2 ;;
        esac
        shift 2
    done
    local dir=$1 target=$2 pid probe
    pid=$(cat "$dir/snmpd.pid")
    for ((probe = 1; probe <= probes; probe++)); do
        if MIBS='' "${netns[@]}" snmpget -v1 -c "$community" -r 0 -t "$timeout" "$target" \
            1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; then
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "snmpd for $target ended before it answered; the end of $dir/snmpd.log:" >&2
            tail -n 20 "$dir/snmpd.log" >&2 || true
            return 1
        fi
        ((probe < probes)) && sleep "$every"
    done
    echo "snmpd did not answer on $target ($probes probes); the end of $dir/snmpd.log:" >&2
    tail -n 20 "$dir/snmpd.log" >&2 || true
    return 1
}

snmpd_start_and_wait() {
    local netns=() options=()
    while [ $# -gt 3 ]; do
        case $1 in
            --netns) netns=(--netns "$2") ;;
            *) options+=("$1" "$2") ;;
        esac
        shift 2
    done
    snmpd_start "${netns[@]}" "$1" "$2"
    snmpd_wait "${netns[@]}" "${options[@]}" "$1" "$3"
}
