#!/usr/bin/env bash
# Builds Brellan and starts it. On a fresh machine it first installs what it
# needs to build and run (scripts/deps.sh build, and demo with --demo; as root).
#
# Usage: scripts/run.sh [--demo]
#   --demo  also starts Net-SNMP's agent on 127.0.0.1 (UDP 161, community
#           mervik) and, a few seconds after the window opens, sends the
#           program a few traps on 127.0.0.1:162. Type 127.0.0.1 in the
#           address box, press "Add Agent" and click the row to see the
#           agent's system group. The agent stops when the window closes.
#           Nothing is ever sent outside 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '5,11p' "$0" | sed 's/^# \{0,1\}//'; }

demo=false
case "${1:-}" in
    "") ;;
    --demo) demo=true ;;
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
build="build-run"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELLAN_TESTS=OFF >/dev/null
cmake --build "$build" --target brellan
program="$build/app/brellan"

if ! $demo; then
    exec "$program"
fi

# --- Demo: a loopback agent and a few traps ---

workdir=$(mktemp -d)
agent_pid=""
sender_pid=""
cleanup() {
    [ -n "$sender_pid" ] && kill "$sender_pid" 2>/dev/null || true
    if [ -n "$agent_pid" ]; then
        kill "$agent_pid" 2>/dev/null || true
        wait "$agent_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Net-SNMP's tools read no MIB files: every identifier here is numeric.
export MIBS=""
export SNMP_PERSISTENT_DIR="$workdir/persist"
snmp_flags=(-v 1 -c mervik -t 1 -r 0 -On)

if snmpget "${snmp_flags[@]}" 127.0.0.1:161 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; then
    echo "An SNMP agent already answers on 127.0.0.1:161 with community mervik; the demo uses it." >&2
else
    cat >"$workdir/snmpd.conf" <<CONF
rocommunity mervik 127.0.0.1
sysName brellan-demo
sysContact Demo operator <demo@localhost>
sysLocation On this machine (loopback)
sysServices 72
CONF
    # The listening address is given once, on the command line: the same
    # address in the file as well makes snmpd bind it twice and exit.
    snmpd -f -C -c "$workdir/snmpd.conf" -Lf "$workdir/snmpd.log" udp:127.0.0.1:161 &
    agent_pid=$!
    answered=false
    for _ in $(seq 1 20); do
        if snmpget "${snmp_flags[@]}" 127.0.0.1:161 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1; then
            answered=true
            break
        fi
        kill -0 "$agent_pid" 2>/dev/null || break
        sleep 0.5
    done
    if ! $answered; then
        echo "The demo agent did not start on 127.0.0.1:161:" >&2
        tail -n 5 "$workdir/snmpd.log" >&2 || true
        echo "UDP 161 needs root (or cap_net_bind_service), and must not be taken by another agent" >&2
        echo "(a system snmpd with another community: stop it with 'systemctl stop snmpd')." >&2
        exit 1
    fi
    echo "Demo agent: 127.0.0.1, community mervik. Add 127.0.0.1 in the window and click its row."
fi

# A few traps once the window is up: v1 coldStart, linkDown, enterprise-specific 42,
# and one SNMPv2c linkUp notification.
send_traps() {
    sleep 3
    snmptrap -v 1 -c mervik 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 127.0.0.1 0 0 ''
    snmptrap -v 1 -c mervik 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 127.0.0.1 2 0 '' \
        1.3.6.1.2.1.2.2.1.1.2 i 2
    snmptrap -v 1 -c mervik 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 127.0.0.1 6 42 ''
    snmptrap -v 2c -c mervik 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.4 1.3.6.1.2.1.2.2.1.1.2 i 2
}
send_traps &
sender_pid=$!

status=0
"$program" || status=$?
exit "$status"
