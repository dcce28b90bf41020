#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Brellan and runs every test. On a fresh machine it first installs
# what it needs.
#
# Usage: scripts/test.sh [--sanitize | --thread]
#   --sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer
#   --thread    build the engine's tests with ThreadSanitizer (the engine
#               reads traps on a thread of its own) and run only those
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
source scripts/lib/usage.sh

usage() { print_usage "$script"; }

build="build"
flags=()
# The sanitizer builds optimise less and keep only line tables: they build
# in about 60 % of the time, and a report still names file and line.
sanitizer_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1")
case "${1:-}" in
"") ;;
--sanitize)
    build="build-asan"
    flags+=(-DBRELLAN_SANITIZE=ON "${sanitizer_flags[@]}")
    ;;
--thread)
    build="build-tsan"
    flags+=(-DBRELLAN_TSAN=ON "${sanitizer_flags[@]}")
    ;;
-h | --help)
    usage
    exit 0
    ;;
*)
    echo "scripts/test.sh: unknown option: $1" >&2
    usage >&2
    exit 2
    ;;
esac
if [ $# -gt 1 ]; then
    echo "scripts/test.sh: one option at most" >&2
    usage >&2
    exit 2
fi

# a11y and sandbox: the trap details' end-to-end test reads the window through
# the accessibility bus, inside a network namespace of its own.
scripts/deps.sh build test a11y sandbox
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELLAN_WERROR=ON "${flags[@]}"
export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--thread" ]; then
    cmake --build "$build" --target engine_tests
    # All cases in one process. The tests start Net-SNMP's tools, so the
    # process forks while threads run; tests/engine/tsan.supp says which
    # reports come from inside Qt, which ThreadSanitizer cannot see into.
    # Any other report fails the run (exit status 66).
    TSAN_OPTIONS="halt_on_error=0 die_after_fork=0 suppressions=$PWD/tests/engine/tsan.supp" \
        "$build/tests/engine/engine_tests"
    exit
fi
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure --timeout 300 -j 2
