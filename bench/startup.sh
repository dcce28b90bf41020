#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up of the real program: the time from launching it to its window
# being shown, measured from outside, and its resident memory once idle.
#
#   bench/startup.sh BUILD_DIR [RUNS]
#
# Starts BUILD_DIR/app/brellan RUNS times (default 10) on a virtual X display
# (Xvfb, 96 DPI), as a user starts it (no accessibility bridge, no test
# hook). The launch moment is taken by this script just before exec; the
# end is the moment the X server maps the window, as seen by an X client
# listening on the root window (bench/window_mapped.py). That is the nearest
# outside sign of the first paint: the map sends the window its first Expose,
# which Qt answers by painting in its next pass of the event loop (an
# in-program probe once put that paint 8 to 20 ms after the map here). The
# accessibility bus shows the window later, only once Qt's bridge has
# registered over D-Bus, so it would time D-Bus rather than the window.
# The resident memory (VmRSS) is read from the last run after it has been
# idle for 3 seconds. Prints:
#   startup window_mapped_ms=<median> min_ms=<min> max_ms=<max> runs=<n>
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

bench_dir=$(cd "$(dirname "$0")" && pwd)
source "$bench_dir/../scripts/lib/xvfb.sh"
start_xvfb "$work"

# One launch: appends the milliseconds from launch to the window's map to $work/times.
launch() {
    local out=$work/out.$1 start_us mapped_ns watcher
    /usr/bin/python3 "$bench_dir/window_mapped.py" 10 >"$out" 2>"$work/watch.$1" &
    watcher=$!
    for _ in $(seq 1 500); do # the watcher listens within 5 s
        grep -q '^ready' "$out" 2>/dev/null && break
        sleep 0.01
    done
    grep -q '^ready' "$out" || { echo "window_mapped.py did not start:" >&2; cat "$work/watch.$1" >&2; exit 1; }
    start_us=${EPOCHREALTIME/./}
    "$program" >/dev/null 2>"$work/err.$1" &
    program_pid=$!
    wait "$watcher" || { echo "brellan's window was not shown:" >&2; cat "$work/watch.$1" "$work/err.$1" >&2; exit 1; }
    mapped_ns=$(sed -n 's/^mapped_epoch_ns=//p' "$out")
    awk -v a="$start_us" -v b="$mapped_ns" 'BEGIN { printf "%.1f\n", (b / 1000 - a) / 1000 }' >>"$work/times"
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
        printf "startup window_mapped_ms=%.1f min_ms=%.1f max_ms=%.1f runs=%d\n", median, t[1], t[NR], runs
    }'
awk -v kb="$rss_kb" 'BEGIN { printf "startup rss_idle_mb=%.1f\n", kb / 1024 }'
