# shellcheck shell=bash
# Sourced by scripts that start processes or build things they must undo.
#
#   on_exit COMMAND [ARG...]   runs the command when the script ends
#   on_exit_kill PID...        ends that child of this shell then: first its
#                              own children (a background function's sleep
#                              or command), then it, and waits for it
#
# What was registered runs in reverse order (the last thing built is the
# first torn down) when the script exits, and also on SIGINT, SIGTERM and
# SIGHUP, which end the script with status 130, 143 and 129. Each step's
# failure is tolerated, so one step that fails (a process already gone)
# never keeps the next from running; further signals are ignored until the
# teardown is done, so that an impatient second Ctrl+C leaves nothing behind.
#
# Under `set -e`, the command that ends the script by failing is named, with
# its file and line, so that a failed step shows up where it failed.

cleanup_steps=()

on_exit() {
    cleanup_steps+=("$(printf '%q ' "$@")")
}

on_exit_kill() {
    local pid
    for pid in "$@"; do
        on_exit cleanup_kill_and_wait "$pid"
    done
}

# Waits for the process, so that it no longer writes into files that a later
# step removes. A child that has ended already is left alone: its pid may
# belong to another process by now.
cleanup_kill_and_wait() {
    local running
    running=" $(jobs -p | tr '\n' ' ') "
    [[ $running == *" $1 "* ]] || return 0
    # The shell's own note that a job was terminated goes where the braces'
    # stderr does: it is expected here.
    {
        pkill -P "$1"
        kill "$1"
        wait "$1"
    } 2>/dev/null
    return 0
}

cleanup_run() {
    trap '' INT TERM HUP
    local i
    for ((i = ${#cleanup_steps[@]} - 1; i >= 0; i--)); do
        eval "${cleanup_steps[i]}" || true
    done
    cleanup_steps=()
}

# Names the failed command, but only where `set -e` is about to end the
# script itself for it: a command substitution or a background job runs in a
# subshell, whose failures are the caller's to handle (and whose ends at
# cleanup are expected).
cleanup_report_failure() {
    local status=$1 command=$2 file=$3 line=$4
    [[ $- == *e* && $BASHPID == "$$" ]] || return 0
    echo "${file##*/}:$line: '$command' failed (status $status)" >&2
}

set -o errtrace
trap 'cleanup_report_failure $? "$BASH_COMMAND" "${BASH_SOURCE[0]}" "$LINENO"' ERR
trap cleanup_run EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
