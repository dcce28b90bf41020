#!/usr/bin/env bash
# Builds Brellan and runs every test. On a fresh machine it first installs
# what it needs. Usage: scripts/test.sh [--sanitize | --thread]
#   --sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer
#   --thread    build the engine's tests with ThreadSanitizer (the engine
#               reads traps on a thread of its own) and run only those
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=()
case "${1:-}" in
--sanitize)
    build=build-asan
    flags+=(-DBRELLAN_SANITIZE=ON)
    ;;
--thread)
    build=build-tsan
    flags+=(-DBRELLAN_TSAN=ON)
    ;;
esac

# a11y and sandbox: the trap details' end-to-end test reads the window through
# the accessibility bus, inside a network namespace of its own.
scripts/deps.sh build test a11y sandbox
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}"
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
