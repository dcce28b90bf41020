#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes docs/screenshot.png: Brellan's window on a virtual X display (Xvfb).
#
# As root it runs the demo (scripts/run.sh --demo: Net-SNMP's agent on
# 127.0.0.2 and a few traps), adds 127.0.0.2 through the window and clicks
# its row, so the picture shows an agent, its system group and traps.
# Otherwise, or with --plain, it shows the window as it starts.
# Nothing is sent outside 127.0.0.0/8, and "Find Agents" is never pressed.
#
# Usage: scripts/screenshot.sh [--plain]
set -euo pipefail
cd "$(dirname "$0")/.."

plain=false
[ "${1:-}" = "--plain" ] && plain=true
[ "$(id -u)" -ne 0 ] && plain=true
out=docs/screenshot.png

scripts/deps.sh build demo screenshot
source scripts/lib/run_tree.sh
build_program mervik

source scripts/lib/cleanup.sh
workdir=$(mktemp -d)
on_exit rm -rf "$workdir"

source scripts/lib/xvfb.sh
source scripts/lib/wait.sh
start_xvfb "$workdir"
on_exit_kill "$xvfb_pid"

if $plain; then
    scripts/run.sh >"$workdir/run.log" 2>&1 &
else
    scripts/run.sh --demo >"$workdir/run.log" 2>&1 &
fi
run_pid=$!
on_exit_kill "$run_pid"

window=""
window_shown() {
    window=$(xdotool search --onlyvisible --name '^Brellan$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ]
}
# The build comes first.
if ! wait_until --while "$run_pid" 120 window_shown; then
    if kill -0 "$run_pid" 2>/dev/null; then
        echo "Brellan's window did not appear." >&2
    else
        echo "Brellan ended before its window appeared:" >&2
    fi
    cat "$workdir/run.log" >&2
    exit 1
fi

# Clicks at a point of the window's client area, in pixels at 96 DPI.
click_at() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1
}

if ! $plain; then
    xdotool windowfocus --sync "$window"
    click_at 164 154              # the address box
    xdotool type --delay 30 127.0.0.2
    click_at 296 154              # the name box
    xdotool type --delay 30 brellan-demo
    click_at 52 155               # Add Agent
    sleep 0.5
    click_at 150 97               # the new row: selecting it walks the system group
    sleep 5                       # the walk, and the demo's traps (sent 3 s after start)
    xdotool mousemove 600 540     # keep the pointer out of the picture
fi
sleep 1
mkdir -p docs
import -window "$window" "$out"
echo "Wrote $out"
