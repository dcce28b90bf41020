#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The trap list end to end: the real program on a virtual display receives
# traps that Net-SNMP's snmptrap sends to UDP 162, and its lines and each
# line's details are read through the accessibility bus, as a screen reader
# reads them (tests/a11y/brellan_a11y.py).
#
# Then Ctrl+F finds a word in one trap's details, read back the same way.
#
# Four traps, each with a community of its own, so that details given to the
# wrong line show: a v1 trap with two bindings, a v1 trap whose agent-addr is
# not its source, a v2c linkDown with IF-MIB bindings (read by name, and the
# status by its label), and a v2c inform, which snmptrap sends until it is
# acknowledged (it must exit 0).
#
# Runs inside `unshare -n` (loopback only), as root, which may bind UDP 162
# there. Exits 77 (skipped) where that namespace, the display or the
# accessibility bus cannot be had.
#   trap_details_end_to_end.sh PROGRAM
set -euo pipefail
self=$(realpath "$0")
a11y_dir=$(dirname "$self")

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

if [ "${1:-}" != --inside ]; then
    program=$(realpath "$1")
    [ -x "$program" ] || fail "no program at $1"
    for tool in Xvfb dbus-run-session snmptrap ss unshare ip; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps.sh a11y test sandbox)"
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || skip "no accessibility bus (at-spi2-core)"
    /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
        skip "no AT-SPI bindings for Python (python3-gi, gir1.2-atspi-2.0)"
    [ "$(id -u)" -eq 0 ] || skip "needs root, to bind UDP 162 inside a network namespace of its own"
    unshare -n true 2>/dev/null || skip "no network namespace can be made here (unshare -n)"
    source "$a11y_dir/../../scripts/lib/private_network.sh"
    rerun_in_private_network 100 "$self" "$program"
fi

work=$2
program=$3
source "$a11y_dir/../../scripts/lib/private_network.sh"
enter_private_network "$work"
program_pid=""
source "$a11y_dir/../../scripts/lib/a11y_session.sh"
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true # ended by the signal: not a failure
    fi
    stop_a11y_session
}
trap cleanup EXIT
start_a11y_session "$work/session"

# A made-up vendor's module where an operator keeps theirs; the system has
# no base module it imports from (SNMPv2-SMI, SNMPv2-TC, ...).
mkdir -p "$work/home/.snmp/mibs"
cp "$a11y_dir/../names/mibs/ACME-PORTS-MIB.txt" "$work/home/.snmp/mibs/"
HOME="$work/home" "$program" >"$work/program.out" 2>"$work/program.err" &
program_pid=$!
trap_port_bound() { ss -Hlunp 'sport = :162' | grep -q '"brellan"'; }
if ! wait_until --while "$program_pid" 10 trap_port_bound; then
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.err")"
    fail "the program did not bind UDP 162: $(cat "$work/program.err")"
fi

# send COMMUNITY ARGUMENTS...: one snmptrap to the program.
send() {
    local community=$1
    shift
    snmptrap -c "$community" "$@" >"$work/snmptrap.log" 2>&1 ||
        fail "snmptrap -c $community $* exited $?: $(cat "$work/snmptrap.log")"
}
send v1-bindings -v 1 127.0.0.1:162 1.3.6.1.4.1.99 '' 6 17 '' \
    1.3.6.1.2.1.2.2.1.1.3 i 3 1.3.6.1.2.1.2.2.1.2.3 s eth2
send v1-relayed -v 1 127.0.0.1:162 1.3.6.1.4.1.9.1.516 192.0.2.7 6 18 ''
send v2c-trap -v 2c 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.3 \
    1.3.6.1.2.1.2.2.1.1.2 i 2 1.3.6.1.2.1.2.2.1.7.2 i 1 1.3.6.1.2.1.2.2.1.8.2 i 2
# An inform is sent again until a Response comes (at most 3 tries in 6 s).
send v2c-inform -v 2c -Ci -t 2 -r 2 127.0.0.1:162 '' 1.3.6.1.4.1.99.0.42 1.3.6.1.2.1.1.5.0 s inform-test
send v2c-vendor -v 2c 127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.1 1.3.6.1.4.1.99999.1.1.1.2.7 i 3

lines=("127.0.0.1 enterpriseSpecific: 17" "192.0.2.7 enterpriseSpecific: 18" "127.0.0.1 linkDown"
    "127.0.0.1 enterpriseSpecific: 42" "127.0.0.1 enterpriseSpecific: 1")
until_lines=()
for line in "${lines[@]}"; do until_lines+=(--until "$line"); done
a11y --pid "$program_pid" trap-lines "${until_lines[@]}" >"$work/lines" ||
    fail "the window did not show the five trap lines; the program wrote: $(cat "$work/program.err")"
[ "$(wc -l <"$work/lines")" -eq 5 ] || fail "five traps made other lines than five: $(cat "$work/lines")"
# The modules are read in the background: details read before that ends
# give numbers where the vendor's module names them.
described() {
    a11y --pid "$program_pid" trap-lines --describe >"$work/described" || fail "the lines' details could not be read"
    grep -q 'ACME-PORTS-MIB::acmePortBroken' "$work/described"
}
wait_until 10 described || true

# details LINE: the details of that line, one fact a line.
details() {
    awk -F '\t' -v line="$1" '$1 == line { print $2 }' "$work/described" | sed 's/\\n/\n/g'
}
# expect LINE FACT...: each FACT (an extended regular expression) is a whole line of LINE's details.
expect() {
    local line=$1 fact
    shift
    details "$line" >"$work/details"
    [ -s "$work/details" ] || fail "the line '$line' has no details"
    for fact in "$@"; do
        grep -qxE "$fact" "$work/details" ||
            fail "the details of '$line' lack '$fact'; they read:"$'\n'"$(cat "$work/details")"
    done
}
source_fact='From: 127\.0\.0\.1, UDP port [0-9]+'
expect "${lines[0]}" "$source_fact" 'Version: SNMPv1, trap' 'Community: v1-bindings' 'Enterprise: enterprises\.snmpResearch' \
    'Variable bindings: 2' 'IF-MIB::ifIndex\.3 = INTEGER: 3' 'IF-MIB::ifDescr\.3 = STRING: "eth2"'
expect "${lines[1]}" "$source_fact" 'Community: v1-relayed' 'Enterprise: enterprises\.ciscoSystems\.1\.516' \
    'The trap names 192\.0\.2\.7 as its agent but came from 127\.0\.0\.1: .*'
expect "${lines[2]}" "$source_fact" 'Version: SNMPv2c, trap' 'Community: v2c-trap' \
    'snmpTrapOID\.0: IF-MIB::linkDown' 'SNMPv2-MIB::snmpTrapOID\.0 = OID: IF-MIB::linkDown' \
    'IF-MIB::ifIndex\.2 = INTEGER: 2' 'IF-MIB::ifAdminStatus\.2 = INTEGER: up\(1\)' \
    'IF-MIB::ifOperStatus\.2 = INTEGER: down\(2\)'
expect "${lines[3]}" "$source_fact" 'Version: SNMPv2c, inform' 'Community: v2c-inform' \
    'snmpTrapOID\.0: enterprises\.snmpResearch\.0\.42' 'SNMPv2-MIB::sysName\.0 = STRING: "inform-test"'
expect "${lines[4]}" 'snmpTrapOID\.0: ACME-PORTS-MIB::acmePortBroken' \
    'ACME-PORTS-MIB::acmePortState\.7 = INTEGER: broken\(3\)'
echo "the window's trap lines and their details, as a screen reader reads them:"
sed 's/^/    /' "$work/described"

# Ctrl+F and a word that only the inform's details hold: its line is found,
# counted as the one match, and is the one line selected; then a word
# nothing holds says so and leaves the line selected.
inform_found=$'Line 4 of 5, match 1 of 1\n'"${lines[3]}"
a11y --pid "$program_pid" find inform-TEST >"$work/found" || fail "the find field could not be used"
[ "$(cat "$work/found")" = "$inform_found" ] ||
    fail "finding 'inform-TEST' should select the inform's line; the field and the selection read: $(cat "$work/found")"
a11y --pid "$program_pid" find no-such-text >"$work/found" || fail "the find field could not be used again"
[ "$(cat "$work/found")" = $'No match\n'"${lines[3]}" ] ||
    fail "finding 'no-such-text' should say 'No match'; the field and the selection read: $(cat "$work/found")"
echo "found through the accessibility bus: 'inform-TEST' on the inform's line, and 'No match' for 'no-such-text'"
