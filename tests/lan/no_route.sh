#!/usr/bin/env bash
# Runs the no-route scenario in a network namespace of its own that has only
# the loopback interface: an snmpd on 127.0.0.1:161 and the window's trap
# port are private to it, and a broadcast has nowhere to go. The namespace
# ends with this script, and with it everything started inside.
#
# Exits 77 (skipped) when a network namespace cannot be created.
# Usage: no_route.sh /path/to/lan_scenarios [gtest arguments...]
set -u

if [ "${1:-}" != --inside ]; then
    if ! unshare -n true 2>/dev/null; then
        echo "*** cannot create network namespaces: SKIPPED (the no-route test needs root) ***"
        exit 77
    fi
    exec unshare -n bash "$0" --inside "$@"
fi
shift
driver=$1
shift

# Inside: nothing but a loopback interface may exist here.
links=$(ip -o link show | awk -F': ' '{print $2}')
[ "$links" = lo ] || { echo "no-route test: unexpected interfaces: $links" >&2; exit 1; }
ip link set lo up

work=$(mktemp -d /tmp/brellan-noroute.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

cat > "$work/snmpd.conf" <<'EOF'
rocommunity mervik default
sysDescr Brellan no-route agent
sysContact loopback@lan.test
sysName loopback-agent
sysLocation Nowhere
sysServices 72
EOF
SNMP_PERSISTENT_DIR=$work MIBS= snmpd -f -C -c "$work/snmpd.conf" -Lf "$work/log" udp:127.0.0.1:161 &
pids+=($!)

n=0
until MIBS= snmpget -v1 -c mervik -r 0 -t 0.3 127.0.0.1 1.3.6.1.2.1.1.5.0 > /dev/null 2>&1; do
    n=$((n + 1))
    [ $n -ge 100 ] && { cat "$work/log" >&2; echo "no-route test: snmpd did not answer" >&2; exit 1; }
    sleep 0.2
done

timeout 120 env QT_QPA_PLATFORM=offscreen MIBS= BRELLAN_LAN_INTERFACES=lo \
    "$driver" --gtest_filter='NoRoute.*' "$@" &
pids+=($!)
wait $!
