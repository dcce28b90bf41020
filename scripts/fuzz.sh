#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer; on a fresh machine it first installs clang, as
# root) and runs both at once for the given number of seconds (default 60):
# fuzz_decode on a copy of fuzz/corpus (captured datagrams), and
# fuzz_trap_details on a copy of fuzz/details-corpus (captured traps, each
# after a byte giving its length). Prints the executions; exits non-zero
# when a fuzzer finds a crash, a leak or a failed check. Inputs that fail are
# kept in build-asan/findings/.
#
# The targets are built in the tree of scripts/test.sh --sanitize
# (build-asan/): after that has run, nothing is compiled again. On its own
# it builds only the fuzz targets and the libraries they link.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/lib/sanitizer_tree.sh"
build=$sanitizer_tree

"$root/scripts/deps.sh" build fuzz
# A tree of its own leaves the tests out (they need GoogleTest); one that
# scripts/test.sh --sanitize made keeps them.
tests=()
[ -f "$build/CMakeCache.txt" ] || tests=(-DBRELLAN_TESTS=OFF)
configure_sanitizer_tree ${tests[@]+"${tests[@]}"}
cmake --build "$build" --target fuzz_decode fuzz_trap_details

source "$root/scripts/lib/cleanup.sh"
work="$(mktemp -d)"
on_exit rm -rf "$work"
mkdir -p "$build/findings"

# run TARGET CORPUS: one fuzzer, for the given time, on a copy of its corpus.
run() {
    local target=$1 status=0 executions
    mkdir -p "$work/$target"
    cp "$root/fuzz/$2"/* "$work/$target/"
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" "$work/$target" >"$work/$target.log" 2>&1 || status=$?
    tail -n 30 "$work/$target.log"
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")"
    echo "$target: ${executions:-unknown} executions in ${seconds} s, exit status ${status}"
    return "$status"
}

# Both at once, each on a core of its own; their reports follow one another.
run fuzz_decode corpus >"$work/fuzz_decode.report" 2>&1 &
decode_pid=$!
on_exit_kill "$decode_pid"
run fuzz_trap_details details-corpus >"$work/fuzz_trap_details.report" 2>&1 &
details_pid=$!
on_exit_kill "$details_pid"
status=0
wait "$decode_pid" || status=$?
cat "$work/fuzz_decode.report"
wait "$details_pid" || status=$?
cat "$work/fuzz_trap_details.report"
exit "$status"
