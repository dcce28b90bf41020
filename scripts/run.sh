#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Brellan and starts it. On a fresh machine it first installs what it
# needs to build and run (scripts/deps.sh build, and demo with --demo; as root).
#
# Usage: scripts/run.sh [--demo | --community NAME]
#   --community  builds the program for the SNMP community NAME instead of
#                mervik (the community is fixed when the program is built)
#   --demo       also starts Net-SNMP's agent on 127.0.0.2 (UDP 161, community
#                mervik) and, a few seconds after the window opens, sends the
#                program a few traps on 127.0.0.1:162. Type 127.0.0.2 in the
#                address box, press "Add Agent" and click the row to see the
#                agent's system group. The agent stops when the window closes
#                or the terminal does. Nothing is sent outside 127.0.0.0/8.
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
source scripts/lib/usage.sh

usage() { print_usage "$script"; }

demo=false
community=mervik
case "${1:-}" in
    "") ;;
    --demo)
        [ $# -eq 1 ] || { usage >&2; exit 2; }
        demo=true ;;
    --community)
        [ $# -eq 2 ] || { usage >&2; exit 2; }
        community=$2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Brellan is a desktop program and no display is available (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
    echo "Start it from a desktop session, or with a virtual display: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi

groups=(build)
$demo && groups+=(demo)
scripts/deps.sh "${groups[@]}"
source scripts/lib/run_tree.sh
build_program "$community"

if ! $demo; then
    exec "$program"
fi

# --- Demo: a loopback agent and a few traps ---

# The agent has a loopback address of its own, so that a system agent on
# 127.0.0.1:161 (Debian's snmpd service listens there) cannot get in its way.
agent=127.0.0.2
# What the demo starts ends with it, in reverse order. Closing the terminal
# (SIGHUP) ends the program and the agent as Ctrl+C does; snmpd alone would
# take SIGHUP as a reason to reread its configuration.
source scripts/lib/cleanup.sh
source scripts/lib/snmpd.sh
workdir=$(mktemp -d)
on_exit rm -rf "$workdir"

# Net-SNMP's tools read no MIB files: every identifier here is numeric.
export MIBS=""
export SNMP_PERSISTENT_DIR="$workdir/persist"
snmp_flags=(-v 1 -c mervik -t 1 -r 0 -On)

if snmpget "${snmp_flags[@]}" "$agent:161" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; then
    echo "An SNMP agent already answers on $agent:161 with community mervik; the demo uses it." >&2
else
    # Brellan's requests to 127.0.0.2 leave from 127.0.0.1.
    if ! snmpd_start_and_wait --timeout 1 --probes 20 --every 0.5 "$workdir" "udp:$agent:161" "$agent:161" <<CONF
rocommunity mervik 127.0.0.0/8
sysName brellan-demo
sysContact Demo operator <demo@localhost>
sysLocation On this machine (loopback)
sysServices 72
CONF
    then
        echo "The demo agent did not start on $agent:161." >&2
        echo "UDP 161 needs root (or cap_net_bind_service), and no other program may hold it on every" >&2
        echo "address (0.0.0.0:161); an agent on 127.0.0.1:161 alone does not get in the way." >&2
        exit 1
    fi
fi
echo "Demo agent: $agent, community mervik. Type $agent in the address box, press \"Add Agent\" and click its row."

# A few traps once the window is up, as if from the demo agent: v1 coldStart,
# linkDown, enterprise-specific 42, and one SNMPv2c linkUp notification.
send_traps() {
    sleep 3
    snmptrap -v 1 -c mervik 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 "$agent" 0 0 ''
    snmptrap -v 1 -c mervik 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 "$agent" 2 0 '' \
        1.3.6.1.2.1.2.2.1.1.2 i 2
    snmptrap -v 1 -c mervik 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 "$agent" 6 42 ''
    snmptrap --clientaddr="$agent" -v 2c -c mervik 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.4 \
        1.3.6.1.2.1.2.2.1.1.2 i 2
}
send_traps &
on_exit_kill $!

# The program runs in the background so that a signal to this script is
# handled at once, not only once the window has closed.
"$program" &
program_pid=$!
on_exit_kill "$program_pid"
status=0
wait "$program_pid" || status=$?
exit "$status"
