# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that wait for something they started to be ready:
# a display, a window, a bound port, a line in a log.
#
#   wait_until [--while PID] SECONDS COMMAND [ARG...]
#       Runs COMMAND in this shell (a function may set variables) every
#       0.1 s until it succeeds, and returns 0 then. Returns 1 when SECONDS
#       (a whole number) have passed without success, or, with --while, as
#       soon as process PID has ended: what was awaited will not come. The
#       caller says which it was; COMMAND is always tried once more after
#       PID ended, so that a process that finished its work and exited
#       still counts.

wait_until() {
    local pid=""
    if [ "${1:-}" = --while ]; then
        pid=$2
        shift 2
    fi
    local seconds=$1
    shift
    # In microseconds: $SECONDS counts whole seconds only.
    local deadline=$((${EPOCHREALTIME/[.,]/} + seconds * 1000000))
    while true; do
        "$@" && return 0
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
            "$@" && return 0
            return 1
        fi
        [ "${EPOCHREALTIME/[.,]/}" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}
