#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer; on a fresh machine it first installs clang, as
# root) and runs each for the given number of seconds (default 60):
# fuzz_decode on a copy of fuzz/corpus (captured datagrams), then
# fuzz_trap_details on a copy of fuzz/details-corpus (captured traps, each
# after a byte giving its length). Prints the executions; exits non-zero
# when a fuzzer finds a crash, a leak or a failed check. Inputs that fail are
# kept in build-fuzz/findings/.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"

"$root/scripts/deps.sh" build fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRELLAN_WERROR=ON -DBRELLAN_FUZZ=ON -DBRELLAN_GUI=OFF -DBRELLAN_TESTS=OFF >/dev/null
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

status=0
run fuzz_decode corpus || status=$?
run fuzz_trap_details details-corpus || status=$?
exit "$status"
