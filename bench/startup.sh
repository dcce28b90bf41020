#!/usr/bin/env bash
# Start-up of the real program: the time from launching it to its window's
# first paint, and its resident memory once idle.
#
#   bench/startup.sh BUILD_DIR [RUNS]
#
# Starts BUILD_DIR/app/brellan RUNS times (default 10) on a virtual X display
# (Xvfb, 96 DPI) with BRELLAN_REPORT_FIRST_PAINT set, so that the program
# writes the moment of its first paint; the launch moment is taken by this
# script just before exec. The resident memory (VmRSS) is read from the last
# run after it has been idle for 3 seconds. Prints:
#   startup first_paint_ms=<median> min_ms=<min> max_ms=<max> runs=<n>
#   startup rss_idle_mb=<value>
#
# As root the whole run happens in a private network namespace with only
# loopback up, so the program's trap port is bound there and nothing it
# does can reach a network.
set -euo pipefail

build=${1:?usage: bench/startup.sh BUILD_DIR [RUNS]}
runs=${2:-10}
program=$(realpath "$build/app/brellan")

if [ "${BRELLAN_STARTUP_INSIDE:-}" != 1 ] && [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    export BRELLAN_STARTUP_INSIDE=1
    exec unshare -n bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
fi

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb "$work"
export BRELLAN_REPORT_FIRST_PAINT=1

# One launch: appends the milliseconds from launch to first paint to $work/times.
launch() {
    local out=$work/out.$1 start_us painted_ns
    start_us=${EPOCHREALTIME/./}
    "$program" >"$out" 2>"$work/err.$1" &
    program_pid=$!
    for _ in $(seq 1 1000); do # at most 10 s
        grep -q '^first_paint_epoch_ns=' "$out" 2>/dev/null && break
        kill -0 "$program_pid" 2>/dev/null || { echo "brellan ended early:" >&2; cat "$work/err.$1" >&2; exit 1; }
        sleep 0.01
    done
    painted_ns=$(sed -n 's/^first_paint_epoch_ns=//p' "$out")
    [ -n "$painted_ns" ] || { echo "brellan never painted" >&2; exit 1; }
    awk -v a="$start_us" -v b="$painted_ns" 'BEGIN { printf "%.1f\n", (b / 1000 - a) / 1000 }' >>"$work/times"
}

stop_program() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=""
}

for run in $(seq 1 "$runs"); do
    launch "$run"
    if [ "$run" -lt "$runs" ]; then stop_program; fi
done
sleep 3
rss_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$program_pid/status")
stop_program

sort -n "$work/times" | awk -v runs="$runs" '
    { t[NR] = $1 }
    END {
        median = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "startup first_paint_ms=%.1f min_ms=%.1f max_ms=%.1f runs=%d\n", median, t[1], t[NR], runs
    }'
awk -v kb="$rss_kb" 'BEGIN { printf "startup rss_idle_mb=%.1f\n", kb / 1024 }'
