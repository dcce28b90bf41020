#!/usr/bin/env bash
# Builds the Debian package and checks it the way a new user meets it:
# lintian, the desktop entry and AppStream validators, `apt-get install` of
# the file, the installed program receiving a trap as an unprivileged user,
# and `dpkg -r` leaving nothing behind. Needs root; it installs the package on
# this machine and removes it again.
#
# The trap check runs inside `unshare -n` (loopback only): a virtual display,
# the program as user nobody, and one trap from snmptrap to 127.0.0.1:162,
# read back through the window's trap-line report. Where file capabilities
# cannot be carried or namespaces cannot be made, that check prints SKIPPED
# and why; it never counts as passed.
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

# The trap check, run as root inside a fresh network namespace.
if [ "${1:-}" = --trap-inside ]; then
    work=$2
    ip link set lo up
    source scripts/xvfb.sh
    start_xvfb "$work"
    program_pid=""
    trap '[ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null; kill "$xvfb_pid" 2>/dev/null' EXIT
    mkdir -p "$work/home" "$work/runtime"
    chown nobody:nogroup "$work/home" "$work/runtime"
    chmod 700 "$work/runtime"
    # run_as_nobody BINARY NAME: starts BINARY as user nobody; its output goes to $work/NAME.out and .err.
    run_as_nobody() {
        setpriv --reuid=nobody --regid=nogroup --clear-groups \
            env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" BRELLAN_REPORT_TRAP_LINES=1 \
            "$1" >"$work/$2.out" 2>"$work/$2.err" &
        program_pid=$!
    }
    stop_program() {
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
        program_pid=""
    }

    # Without the capability (a copy carries none), the port is refused and the program says why.
    cp "$program" "$work/brellan-without-capability"
    run_as_nobody "$work/brellan-without-capability" plain
    for _ in $(seq 1 100); do
        grep -q 'Traps will not be received' "$work/plain.err" && break
        sleep 0.1
    done
    grep -q 'UDP port 162 needs privilege' "$work/plain.err" ||
        fail "a copy without the capability did not report 'needs privilege': $(cat "$work/plain.err")"
    stop_program
    echo "without the capability, as nobody: $(grep -m 1 'Traps will not' "$work/plain.err")"

    # The installed program, as nobody, binds UDP 162 and shows a trap.
    run_as_nobody "$program" installed
    for _ in $(seq 1 100); do
        ss -Hlunp 'sport = :162' | grep -q '"brellan"' && break
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/installed.err")"
        sleep 0.1
    done
    ss -Hlunp 'sport = :162' | grep -q '"brellan"' ||
        fail "the installed program did not bind UDP 162: $(cat "$work/installed.err")"
    echo "installed program: $(grep -E '^(Uid|CapEff):' "/proc/$program_pid/status" | tr -s '\t\n' '  ')"
    MIBS="" SNMP_PERSISTENT_DIR="$work/persist" \
        snmptrap -v 1 -c public 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 127.0.0.9 6 17 '' >"$work/snmptrap.log" 2>&1 ||
        fail "snmptrap: $(cat "$work/snmptrap.log")"
    expected='trap_line=127.0.0.9 enterpriseSpecific: 17'
    for _ in $(seq 1 100); do
        grep -qxF "$expected" "$work/installed.out" && break
        sleep 0.1
    done
    grep -qxF "$expected" "$work/installed.out" ||
        fail "no trap line '$expected'; the program wrote: $(cat "$work/installed.out" "$work/installed.err")"
    echo "the window's trap list, as a screen reader reads it: ${expected#trap_line=}"
    stop_program
    exit 0
fi

[ "$(id -u)" -eq 0 ] || fail "needs root (it installs and removes the package)"
dpkg-query -W brellan >/dev/null 2>&1 && fail "brellan is installed already; remove it first"
scripts/deps.sh package-check display sandbox
deb=$(scripts/package.sh | tail -n 1)
[ -f "$deb" ] || fail "scripts/package.sh made no package"
echo "== package $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Section Maintainer Depends Recommends Installed-Size

work=$(mktemp -d)
chmod 755 "$work"
installed=false
cleanup() {
    if $installed; then dpkg -r brellan >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

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
    timeout 120 unshare -n bash "$self" --trap-inside "$work" || fail "the trap check"
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
