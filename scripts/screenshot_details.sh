#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes docs/trap-details.png: Brellan's window on a virtual X display
# (Xvfb), the pointer resting on a trap line and the line's tooltip showing
# that trap's details.
#
# The program runs as root inside `unshare -n` (loopback only: UDP 162 is
# bound in a network namespace of this script's own), and Net-SNMP's
# snmptrap sends it three traps "from" the demo agent's address, 127.0.0.2.
# Nothing is sent anywhere else, and "Find Agents" is never pressed.
#
# Usage: scripts/screenshot_details.sh [PROGRAM]
#   PROGRAM  the program to show (by default it is built in build-run/)
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."
out=docs/trap-details.png

if [ "${1:-}" != --inside ]; then
    [ "$(id -u)" -eq 0 ] || { echo "Run this as root: it binds UDP 162 in a network namespace." >&2; exit 1; }
    scripts/deps.sh build demo screenshot sandbox
    if [ -n "${1:-}" ]; then
        program=$(realpath "$1")
    else
        source scripts/lib/run_tree.sh
        build_program mervik
    fi
    source scripts/lib/private_network.sh
    rerun_in_private_network 120 "$self" "$program"
fi

work=$2
program=$3
source scripts/lib/private_network.sh
enter_private_network "$work"
program_pid=""
source scripts/lib/xvfb.sh
source scripts/lib/wait.sh
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
# Room beside and below the window for the tooltip.
start_xvfb "$work" 1024x768

"$program" >"$work/program.log" 2>&1 &
program_pid=$!
window=""
window_shown() {
    window=$(xdotool search --onlyvisible --pid "$program_pid" --name '^Brellan$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ]
}
wait_until --while "$program_pid" 10 window_shown ||
    { echo "Brellan's window did not appear, or Brellan ended:" >&2; cat "$work/program.log" >&2; exit 1; }

agent=127.0.0.2
trap_from_agent() { snmptrap --clientaddr="$agent" -c mervik "$@" >>"$work/snmptrap.log" 2>&1; }
trap_from_agent -v 1 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 "$agent" 0 0 ''
trap_from_agent -v 1 127.0.0.1:162 1.3.6.1.4.1.8072.3.2.10 "$agent" 2 0 '' \
    1.3.6.1.2.1.2.2.1.1.2 i 2 1.3.6.1.2.1.2.2.1.2.2 s eth1 \
    1.3.6.1.2.1.2.2.1.7.2 i 1 1.3.6.1.2.1.2.2.1.8.2 i 2
trap_from_agent -v 2c 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.4 1.3.6.1.2.1.2.2.1.1.2 i 2
sleep 1

# The pointer on the second line of the trap list (the linkDown), in pixels
# of the window's client area at 96 DPI. A tooltip shows in an active window
# only, and only after the pointer has rested on it.
xdotool windowfocus --sync "$window"
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --sync $((X + 60)) $((Y + 436))
tip=""
tooltip_shown() {
    tip=$(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | grep -vx "$window" | head -n 1 || true)
    [ -n "$tip" ]
}
wait_until 5 tooltip_shown || { echo "No tooltip appeared." >&2; cat "$work/program.log" >&2; exit 1; }
sleep 0.5

# The picture: the smallest rectangle that holds the window and the tooltip.
left=$X top=$Y right=$((X + WIDTH)) bottom=$((Y + HEIGHT))
eval "$(xdotool getwindowgeometry --shell "$tip")"
left=$((X < left ? X : left)) top=$((Y < top ? Y : top))
right=$((X + WIDTH > right ? X + WIDTH : right)) bottom=$((Y + HEIGHT > bottom ? Y + HEIGHT : bottom))
import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$work/shot.png"
mkdir -p docs
cp "$work/shot.png" "$out"
echo "Wrote $out"
