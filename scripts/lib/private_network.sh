# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by scripts that run their checks in a network namespace of their
# own (loopback only) by running themselves again inside it.
#
#   rerun_in_private_network SECONDS SCRIPT ARG...
#       runs `bash SCRIPT --inside WORK ARG...` under `unshare -n` for at most
#       SECONDS, WORK a fresh directory removed afterwards, and ends this
#       script with its status (it sets the EXIT trap: not for scripts that
#       use scripts/lib/cleanup.sh)
#   enter_private_network WORK
#       inside: brings the loopback up, keeps Net-SNMP's tools from reading
#       MIB files and their state in WORK, and makes HOME a folder of WORK

rerun_in_private_network() {
    local seconds=$1 script=$2
    shift 2
    private_network_work=$(mktemp -d)
    trap 'rm -rf "$private_network_work"' EXIT
    timeout "$seconds" unshare -n bash "$script" --inside "$private_network_work" "$@"
    exit
}

enter_private_network() {
    ip link set lo up
    export MIBS="" SNMP_PERSISTENT_DIR="$1/persist" HOME="$1/home"
    mkdir -p "$HOME"
}
