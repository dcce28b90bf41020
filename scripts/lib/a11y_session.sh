# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that read Brellan's window through the accessibility
# bus with tests/a11y/brellan_a11y.py, as a screen reader does.
#
# start_a11y_session WORKDIR [USER]: starts a virtual X display
# (scripts/lib/xvfb.sh) and, under dbus-run-session, a private D-Bus session bus
# run as USER (default: whoever calls). Exports DISPLAY, QT_QPA_PLATFORM=xcb,
# DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR (WORKDIR/runtime) and
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, so that a Qt program started now puts
# its window on the accessibility bus. That bus (at-spi-bus-launcher) and its
# registry are started by the session bus the first time the program or the
# tool asks for them, and end with it.
#
# as_session_user COMMAND...: runs COMMAND as USER (HOME is WORKDIR/home).
# "${a11y_as_user[@]}" PROGRAM &: the same in the background, with $! the
# program's own process id (a function in the background would be a
# subshell of its own).
# a11y ARGS...: runs brellan_a11y.py ARGS as USER.
# stop_a11y_session: ends the session bus and the display; safe to call twice.
a11y_lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
a11y_tool=$(cd "$a11y_lib_dir/../../tests/a11y" && pwd)/brellan_a11y.py
source "$a11y_lib_dir/xvfb.sh"
source "$a11y_lib_dir/wait.sh"

a11y_as_user=()
a11y_keeper_pid=""
a11y_session_pid=""

as_session_user() {
    "${a11y_as_user[@]}" "$@"
}

a11y() {
    as_session_user /usr/bin/python3 "$a11y_tool" "$@"
}

start_a11y_session() {
    a11y_work=$1
    local user=${2:-}
    mkdir -p "$a11y_work/home" "$a11y_work/runtime" "$a11y_work/bus"
    start_xvfb "$a11y_work"
    chmod 700 "$a11y_work/runtime"
    a11y_as_user=()
    if [ -n "$user" ] && [ "$user" != "$(id -un)" ]; then
        chown "$user" "$a11y_work/home" "$a11y_work/runtime" "$a11y_work/bus"
        a11y_as_user=(setpriv --reuid="$user" --regid="$(id -gn "$user")" --clear-groups env HOME="$a11y_work/home")
    fi
    export XDG_RUNTIME_DIR="$a11y_work/runtime" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    # The session lasts as long as the shell that dbus-run-session runs: it
    # writes the bus's address and its own process id, then waits. It has a
    # session of its own: when the bus ends, the accessibility bus launcher
    # signals its whole process group, which must not be the caller's.
    as_session_user setsid dbus-run-session -- sh -c \
        'printf "%s\n" "$$" >"$1/keeper"; printf "%s\n" "$DBUS_SESSION_BUS_ADDRESS" >"$1/address"; exec sleep 3600' \
        sh "$a11y_work/bus" 2>"$a11y_work/bus.log" &
    a11y_session_pid=$!
    # Not --while its pid: where the caller has job control, setsid forks
    # and that pid ends at once.
    wait_until 10 a11y_bus_written || { echo "the session bus did not start:" >&2; cat "$a11y_work/bus.log" >&2; return 1; }
    a11y_keeper_pid=$(cat "$a11y_work/bus/keeper")
    DBUS_SESSION_BUS_ADDRESS=$(cat "$a11y_work/bus/address")
    export DBUS_SESSION_BUS_ADDRESS
}

a11y_bus_written() {
    [ -s "$a11y_work/bus/address" ] && [ -s "$a11y_work/bus/keeper" ]
}

stop_a11y_session() {
    # The keeper's end makes dbus-run-session end the bus, and with it the
    # accessibility bus and registry.
    # (Each step may fail harmlessly, also under set -e: the keeper ends by
    # a signal, so dbus-run-session does too.)
    if [ -n "$a11y_keeper_pid" ]; then kill "$a11y_keeper_pid" 2>/dev/null || true; fi
    if [ -n "$a11y_session_pid" ]; then wait "$a11y_session_pid" 2>/dev/null || true; fi
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    a11y_keeper_pid=""
    a11y_session_pid=""
    xvfb_pid=""
    return 0
}
