#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Walks of the system group through a link that loses about 30 % of the
# datagrams each way, by Brellan and by snmpwalk (-t 1 -r 5), on the
# private test LAN (network namespaces, needs root; nothing leaves them).
# Prints the "[ LAN      ] bench:" lines: walks complete, median and worst
# walk time of each, and their ratio. Takes about five minutes.
# Usage: bench/lossy_walk.sh [build directory, default build-lan]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-lan}

scripts/deps.sh build test bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELLAN_WERROR=ON -DBRELLAN_BENCH=ON >/dev/null
cmake --build "$build" --target bench_lossy_walk lan_attacker
BRELLAN_LAN_TIMEOUT=900 bash tests/lan/test_lan.sh "$build/bench/bench_lossy_walk" "$build/tests/lan/lan_attacker" \
    --gtest_filter='LanBench.*' | grep -E '^\[ LAN      \]|PASSED|FAILED'
