# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by scripts that start processes or build things they must undo.
#
#   on_exit COMMAND [ARG...]   runs the command when the script ends
#   on_exit_kill PID...        ends that child of this shell then
#   exit_with COMMAND [ARG...] runs the command as such a child and ends the
#                              script with its exit status
#
# When the script exits, and also on SIGINT, SIGTERM and SIGHUP (which end it
# with status 130, 143 and 129), the registered children still running are
# sent SIGTERM together, and their own children (a background function's
# sleep or command) too, and waited for; one that ignores SIGTERM gets SIGKILL
# after 10 s. Then the commands run in reverse order, the last thing built
# first. So no process still uses what a command removes, and stopping
# fifty processes takes as long as stopping one. A command's failure is
# tolerated, so that it never keeps the next from running; further signals
# are ignored until the teardown is done, so that an impatient second Ctrl+C
# leaves nothing behind.
#
# Under `set -e`, the command that ends the script by failing is named, with
# its file and line, so that a failed step shows up where it failed.

cleanup_commands=()
cleanup_pids=()

on_exit() {
    cleanup_commands+=("$(printf '%q ' "$@")")
}

on_exit_kill() {
    cleanup_pids+=("$@")
}

# The command runs in the background and is waited for, so that a signal
# reaches the traps below at once rather than after the command ends; the
# teardown then stops it with the rest.
exit_with() {
    "$@" &
    local pid=$!
    on_exit_kill "$pid"
    local status=0
    wait "$pid" || status=$?
    exit "$status"
}

# A registered child that has ended already is left alone: its pid may
# belong to another process by now. The shell's own notes that a job was
# terminated are expected here, and go where the function's stderr does.
cleanup_stop_processes() {
    local running=() pid
    for pid in $(jobs -p); do
        [[ " ${cleanup_pids[*]} " == *" $pid "* ]] && running+=("$pid")
    done
    [ ${#running[@]} -gt 0 ] || return 0
    # Their children are found first and signalled last: a shell running a
    # background function then ends at once, instead of going on after its
    # current command has been killed under it.
    local children
    children=$(pgrep -d ' ' -P "$(IFS=,; echo "${running[*]}")")
    kill "${running[@]}"
    # shellcheck disable=SC2086 # a list of pids
    [ -z "$children" ] || kill $children
    local deadline=$((SECONDS + 10))
    for pid in "${running[@]}"; do
        while kill -0 "$pid" && [ $SECONDS -lt $deadline ]; do
            sleep 0.05
        done
        kill -KILL "$pid"
        wait "$pid"
    done
    return 0
} 2>/dev/null

cleanup_run() {
    trap '' INT TERM HUP
    cleanup_stop_processes || true
    local i
    for ((i = ${#cleanup_commands[@]} - 1; i >= 0; i--)); do
        eval "${cleanup_commands[i]}" || true
    done
    cleanup_commands=()
    cleanup_pids=()
}

# Names the failed command, but only where `set -e` is about to end the
# script itself for it: a command substitution or a background job runs in a
# subshell, whose failures are the caller's to handle (and whose ends at
# cleanup are expected).
cleanup_report_failure() {
    local status=$1 command=$2 file=$3 line=$4
    [[ $- == *e* && $BASHPID == "$$" ]] || return 0
    # When a function fails, the shell still holds the last command it ran
    # inside (its `return 1`): the call is the line itself.
    if [[ $command == return* ]]; then
        command=$(sed -n "${line}s/^[[:space:]]*//p" "$file" 2>/dev/null) || true
    fi
    echo "${file##*/}:$line: '${command:-?}' failed (status $status)" >&2
}

set -o errtrace
trap 'cleanup_report_failure $? "$BASH_COMMAND" "${BASH_SOURCE[0]}" "$LINENO"' ERR
trap cleanup_run EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
