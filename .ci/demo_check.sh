#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the demo (scripts/run.sh --demo) the way a new user's machine may
# meet it: a system agent already answers on 127.0.0.1:161 with community
# public, as Debian's snmpd service does once installed. The demo must still
# start its own agent on 127.0.0.2:161, the window must receive the demo's
# traps, and closing the terminal must end the program and the agent
# together: the script gets SIGHUP, and must end both itself, whether or not
# they heard the hangup too.
#
# Everything runs inside `unshare -n` (loopback only) on a virtual display;
# the window's trap list is read through the accessibility bus, as a screen
# reader reads it (tests/a11y/brellan_a11y.py). Needs root; where no network
# namespace can be made it prints SKIPPED.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

fail() { echo "demo check: FAILED: $*" >&2; exit 1; }

if [ "${1:-}" != --inside ]; then
    [ "$(id -u)" -eq 0 ] || fail "needs root (the demo binds UDP 161 and 162)"
    scripts/deps.sh build demo a11y sandbox
    if ! unshare -n true 2>/dev/null; then
        echo "demo check: SKIPPED: no network namespace can be made here (unshare -n)"
        exit 0
    fi
    source scripts/lib/cleanup.sh
    work=$(mktemp -d)
    on_exit rm -rf "$work"
    timeout 600 unshare -n bash "$self" --inside "$work"
    exit
fi

work=$2
ip link set lo up
export MIBS="" SNMP_PERSISTENT_DIR="$work/persist"
# Ends what this check started and waits for it, so that nothing still
# writes into $work when it is removed.
source scripts/lib/cleanup.sh
source scripts/lib/snmpd.sh
source scripts/lib/a11y_session.sh
source scripts/lib/wait.sh
run_pid=""
# The demo's whole session, until it has ended by itself.
stop_demo() { [ -z "$run_pid" ] || kill -TERM -- "-$run_pid" 2>/dev/null; }
on_exit stop_a11y_session

# The system agent that gets in the way of a demo on 127.0.0.1.
if ! snmpd_start_and_wait --community public "$work/system" udp:127.0.0.1:161 127.0.0.1:161 <<'CONF'
rocommunity public 127.0.0.1
sysName system-agent
CONF
then
    fail "the system agent did not start"
fi
echo "a system agent answers on 127.0.0.1:161 with community public"

start_a11y_session "$work/session"

# The demo in a session of its own, as a terminal's job is.
setsid scripts/run.sh --demo >"$work/demo.log" 2>&1 &
run_pid=$!
on_exit_kill "$run_pid"
on_exit stop_demo
until_lines=()
for line in "127.0.0.2 coldStart" "127.0.0.2 linkDown" "127.0.0.2 enterpriseSpecific: 42" "127.0.0.2 linkUp"; do
    until_lines+=(--until "$line")
done
# The build comes first: at most 5 minutes.
if ! wait_until --while "$run_pid" 300 pgrep -P "$run_pid" -x brellan >/dev/null; then
    kill -0 "$run_pid" 2>/dev/null || fail "the demo ended: $(tail -n 20 "$work/demo.log")"
    fail "the demo did not start the program: $(tail -n 20 "$work/demo.log")"
fi
a11y --timeout 30 trap-lines "${until_lines[@]}" >"$work/trap-lines" ||
    fail "the window did not show the demo's traps: $(tail -n 20 "$work/demo.log")"
sed 's/^/    /' "$work/trap-lines"
grep -F 'Demo agent: 127.0.0.2' "$work/demo.log"
echo "the window shows the demo's four traps from 127.0.0.2"
name=$(snmpget -v 1 -c mervik -t 1 -r 1 -Oqv 127.0.0.2:161 1.3.6.1.2.1.1.5.0 | tr -d '"') ||
    fail "the demo agent does not answer on 127.0.0.2:161"
[ "$name" = brellan-demo ] || fail "127.0.0.2:161 answered sysName '$name', not the demo's"
echo "the demo agent answers on 127.0.0.2:161: sysName $name"

# What the demo started; then the terminal closes.
program=$(pgrep -P "$run_pid" -x brellan) || fail "no program under the demo"
agent=$(pgrep -P "$run_pid" -x snmpd) || fail "no agent under the demo"
kill -HUP "$run_pid"
all_ended() { ! kill -0 "$run_pid" 2>/dev/null && ! kill -0 "$program" 2>/dev/null && ! kill -0 "$agent" 2>/dev/null; }
wait_until 10 all_ended || true # which one outlived it is said below
for pid in "$run_pid" "$program" "$agent"; do
    kill -0 "$pid" 2>/dev/null && fail "process $pid ($(ps -o comm= -p "$pid")) outlived SIGHUP"
done
run_pid=""
snmpget -v 1 -c public -t 0.5 -r 0 127.0.0.1:161 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1 ||
    fail "the system agent stopped answering"
echo "demo check: SIGHUP ended the program and the demo agent; the system agent was left alone"
