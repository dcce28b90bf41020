#!/usr/bin/env bash
# Builds the decoder's libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer; on a fresh machine it first installs clang, as
# root) and runs it for the given number of seconds
# (default 60) on a copy of fuzz/corpus. Prints the executions; exits
# non-zero when the fuzzer finds a crash, a leak or a failed check. Inputs
# that fail are kept in build-fuzz/findings/.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"

"$root/scripts/deps.sh" build fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRELLAN_WERROR=ON -DBRELLAN_FUZZ=ON -DBRELLAN_GUI=OFF -DBRELLAN_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_decode

source "$root/scripts/lib/cleanup.sh"
work="$(mktemp -d)"
on_exit rm -rf "$work"
mkdir -p "$work/corpus" "$build/findings"
cp "$root"/fuzz/corpus/* "$work/corpus/"

status=0
"$build/fuzz/fuzz_decode" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/findings/" "$work/corpus" >"$work/log" 2>&1 || status=$?

tail -n 30 "$work/log"
executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")"
echo "fuzz_decode: ${executions:-unknown} executions in ${seconds} s, exit status ${status}"
exit "$status"
