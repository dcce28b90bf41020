#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package for the community "public" and checks it the way
# a new user meets it: its description names the community, lintian, the
# desktop entry and AppStream validators, `apt-get install` of the file, the
# installed program as an unprivileged user receiving a trap and walking a
# "public" agent, and `dpkg -r` leaving nothing behind. Needs root; it
# installs the package on this machine and removes it again.
#
# The program's check runs inside `unshare -n` (loopback only): a virtual
# display, the program as user nobody, one trap from snmptrap to
# 127.0.0.1:162, and Net-SNMP's agent on 127.0.0.3:161 (community public).
# The window is read and driven from outside, through the accessibility bus
# as a screen reader does (tests/a11y/brellan_a11y.py): the trap line as it
# reads it, then the agent's address typed, Add Agent, its row chosen with
# the keyboard, and the seven system values. Where file capabilities cannot
# be carried or namespaces cannot be made, that check prints SKIPPED and why;
# it never counts as passed.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

program=/usr/bin/brellan
app_id=org.brellan.Brellan
expected_files=(
    "$program"
    "/usr/share/applications/$app_id.desktop"
    "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    "/usr/share/metainfo/$app_id.metainfo.xml"
    /usr/share/man/man1/brellan.1.gz
    /usr/share/doc/brellan/copyright
    /usr/share/doc/brellan/changelog.gz
)

fail() { echo "package check: FAILED: $*" >&2; exit 1; }
skipped() { echo "package check: SKIPPED: $*"; }

# The program's check, run as root inside a fresh network namespace.
if [ "${1:-}" = --trap-inside ]; then
    work=$2
    ip link set lo up
    export MIBS="" SNMP_PERSISTENT_DIR="$work/persist"
    program_pid=""
    # The agent started below, and the session, end with this check.
    source scripts/lib/cleanup.sh
    source scripts/lib/snmpd.sh
    source scripts/lib/a11y_session.sh
    source scripts/lib/wait.sh
    # Ends the program started last, and waits for it (ended by the signal:
    # not a failure).
    stop_program() {
        [ -z "$program_pid" ] || { kill "$program_pid"; wait "$program_pid"; } 2>/dev/null || true
        program_pid=""
    }
    on_exit stop_a11y_session
    on_exit stop_program
    start_a11y_session "$work/session" nobody
    # run_as_nobody BINARY NAME: starts BINARY as user nobody; its output goes to $work/NAME.out and .err.
    run_as_nobody() {
        "${a11y_as_user[@]}" "$1" >"$work/$2.out" 2>"$work/$2.err" &
        program_pid=$!
    }

    # Without the capability (a copy carries none), the port is refused and the program says why.
    cp "$program" "$work/brellan-without-capability"
    run_as_nobody "$work/brellan-without-capability" plain
    wait_until --while "$program_pid" 10 grep -q 'Traps will not be received' "$work/plain.err" || true
    grep -q 'UDP port 162 needs privilege' "$work/plain.err" ||
        fail "a copy without the capability did not report 'needs privilege': $(cat "$work/plain.err")"
    stop_program
    echo "without the capability, as nobody: $(grep -m 1 'Traps will not' "$work/plain.err")"

    # The installed program, as nobody, binds UDP 162 and shows a trap.
    run_as_nobody "$program" installed
    trap_port_bound() { ss -Hlunp 'sport = :162' | grep -q '"brellan"'; }
    if ! wait_until --while "$program_pid" 10 trap_port_bound; then
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/installed.err")"
        fail "the installed program did not bind UDP 162: $(cat "$work/installed.err")"
    fi
    echo "installed program: $(grep -E '^(Uid|CapEff):' "/proc/$program_pid/status" | tr -s '\t\n' '  ')"
    snmptrap -v 1 -c public 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 127.0.0.9 6 17 '' >"$work/snmptrap.log" 2>&1 ||
        fail "snmptrap: $(cat "$work/snmptrap.log")"
    expected='127.0.0.9 enterpriseSpecific: 17'
    a11y --pid "$program_pid" trap-lines --until "$expected" >"$work/trap-lines" ||
        fail "no trap line '$expected' in the window; the program wrote: $(cat "$work/installed.err")"
    echo "the window's trap list, as a screen reader reads it: $(grep -xF "$expected" "$work/trap-lines")"

    # A "public" agent on a loopback address of its own, walked through the window.
    agent=127.0.0.3
    if ! snmpd_start_and_wait --community public "$work/agent" "udp:$agent:161" "$agent:161" <<CONF
rocommunity public 127.0.0.0/8
sysDescr Brellan package check agent
sysObjectID 1.3.6.1.4.1.8072.3.2.255
sysContact Package check <check@localhost>
sysName public-agent
sysLocation Loopback, in a private namespace
sysServices 72
CONF
    then
        fail "the public agent did not start"
    fi
    a11y --pid "$program_pid" type txtAddIPAddress "$agent" || fail "could not type the agent's address"
    a11y --pid "$program_pid" press cmdAdd || fail "could not press Add Agent"
    a11y --pid "$program_pid" agents --until "$agent$(printf '\t')" >/dev/null || fail "no row for $agent"
    a11y --pid "$program_pid" choose-agent "$agent" || fail "could not choose the row of $agent"
    a11y --pid "$program_pid" --timeout 20 values \
        --until "txtSysDescr=Brellan package check agent" --until "txtSysObjectID=1.3.6.1.4.1.8072.3.2.255 (NET-SNMP-TC::unknown)" \
        --until "txtSysContact=Package check <check@localhost>" --until "txtSysName=public-agent" \
        --until "txtSysLocation=Loopback, in a private namespace" --until "txtSysServices=72" >"$work/values" ||
        fail "the window did not show the public agent's system group (status: $(a11y --pid "$program_pid" status))"
    grep -qE '^txtSysUpTime=[0-9]+ days?, ' "$work/values" || fail "no up-time: $(cat "$work/values")"
    echo "the public agent's system group, as a screen reader reads it:"
    sed 's/^/    /' "$work/values"
    stop_program
    exit 0
fi

[ "$(id -u)" -eq 0 ] || fail "needs root (it installs and removes the package)"
dpkg-query -W brellan >/dev/null 2>&1 && fail "brellan is installed already; remove it first"
scripts/deps.sh package-check a11y sandbox
deb=$(scripts/package.sh --community public | tail -n 1)
[ -f "$deb" ] || fail "scripts/package.sh made no package"
echo "== package $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Section Maintainer Depends Recommends Installed-Size
community_line=' Built for the SNMP community "public".'
dpkg-deb --field "$deb" Description | grep -qxF "$community_line" ||
    fail "the description does not name the community public: $(dpkg-deb --field "$deb" Description)"
echo "description:$community_line"

work=$(mktemp -d)
chmod 755 "$work"
installed=false
cleanup() {
    if $installed; then dpkg -r brellan >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
# Stopped from outside (CI ends its background checks so when it fails), the
# package is still removed.
trap 'exit 143' TERM
trap 'exit 130' INT

echo "== lintian (errors and warnings fail; the rest is shown)"
lintian_status=0
lintian --pedantic --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v '^running with root privileges' "$work/lintian.log" || echo "(nothing)"
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors or warnings (exit status $lintian_status)"

# The directories the package would bring that are here already stay after removal.
dpkg-deb --contents "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||' | grep . >"$work/paths"
while read -r path; do
    [ -e "$path" ] && echo "$path"
done <"$work/paths" >"$work/present-before"

echo "== apt-get install ./$(basename "$deb")"
cp "$deb" "$work/"
installed=true
(cd "$work" && apt-get install -y --no-install-recommends "./$(basename "$deb")") >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
grep -i 'brellan:' "$work/apt.log" || true # what the postinst said, if anything
for file in "${expected_files[@]}"; do
    [ -f "$file" ] || fail "the package did not install $file"
done
desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
echo "desktop entry: desktop-file-validate finds nothing"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
echo "capability: $(getcap "$program")"

if ! getcap "$program" | grep -q cap_net_bind_service; then
    skipped "the filesystem holding $program carries no file capabilities here, so the unprivileged trap check cannot run"
elif ! unshare -n true 2>/dev/null; then
    skipped "no network namespace can be made here (unshare -n), so the unprivileged trap check does not run"
else
    echo "== the installed program as user nobody, loopback only"
    timeout 180 unshare -n bash "$self" --trap-inside "$work" || fail "the installed program's check"
fi

echo "== dpkg -r brellan"
dpkg -r brellan >/dev/null
installed=false
status=$(dpkg-query -W -f='${Status}' brellan 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = "unknown ok not-installed" ] || fail "dpkg still knows brellan: $status"
ls /var/lib/dpkg/info/brellan.* >/dev/null 2>&1 && fail "dpkg's records of brellan remain"
while read -r path; do
    if [ -e "$path" ] && ! grep -qxF "$path" "$work/present-before"; then
        fail "$path is left behind"
    fi
done <"$work/paths"
echo "package check: removed cleanly, nothing of it left"
