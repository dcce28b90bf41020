#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Brellan and runs every test. On a fresh machine it first installs
# what it needs.
#
# Usage: scripts/test.sh [--sanitize | --thread] [--bench]
#   (none)      in build/: GCC, Release (as a packager's build may optimise),
#               warnings as errors, and every test
#   --sanitize  in build-asan/: clang with AddressSanitizer and
#               UndefinedBehaviorSanitizer, warnings as errors; builds the
#               libFuzzer targets too (scripts/fuzz.sh runs them) and runs
#               every test but the end-to-end ones (ctest label e2e), which
#               mostly wait on timeouts and run in the plain build
#   --thread    build the engine's tests with ThreadSanitizer (the engine
#               reads traps on a thread of its own) and run only those
#   --bench     also build the benchmark tools, without running them
#               (scripts/bench.sh runs them)
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
source scripts/lib/usage.sh
source scripts/lib/sanitizer_tree.sh

usage() { print_usage "$script"; }

mode=plain
bench=OFF
for option in "$@"; do
    case "$option" in
        --sanitize | --thread)
            [ "$mode" = plain ] || { echo "scripts/test.sh: --sanitize or --thread, not both" >&2; usage >&2; exit 2; }
            mode=${option#--} ;;
        --bench) bench=ON ;;
        -h | --help) usage; exit 0 ;;
        *) echo "scripts/test.sh: unknown option: $option" >&2; usage >&2; exit 2 ;;
    esac
done
if [ "$mode" = thread ] && [ "$bench" = ON ]; then
    echo "scripts/test.sh: --bench goes with the plain build or --sanitize" >&2
    exit 2
fi

# a11y and sandbox: the trap details' end-to-end test reads the window through
# the accessibility bus, inside a network namespace of its own.
groups=(build test a11y sandbox)
[ "$mode" = sanitize ] && groups+=(fuzz)
[ "$bench" = ON ] && groups+=(bench)
scripts/deps.sh "${groups[@]}"
export QT_QPA_PLATFORM=offscreen

case "$mode" in
    plain)
        build=build
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELLAN_WERROR=ON -DBRELLAN_BENCH="$bench" \
            >/dev/null
        cmake --build "$build"
        ctest --test-dir "$build" --output-on-failure --timeout 300 -j 2
        ;;
    sanitize)
        configure_sanitizer_tree -DBRELLAN_TESTS=ON -DBRELLAN_BENCH="$bench"
        cmake --build "$sanitizer_tree"
        ctest --test-dir "$sanitizer_tree" --output-on-failure --timeout 300 -j 2 --label-exclude e2e
        ;;
    thread)
        build="build-tsan"
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
            -DBRELLAN_WERROR=ON -DBRELLAN_TSAN=ON >/dev/null
        cmake --build "$build" --target engine_tests
        # All cases in one process. The tests start Net-SNMP's tools, so the
        # process forks while threads run; tests/engine/tsan.supp says which
        # reports come from inside Qt, which ThreadSanitizer cannot see into.
        # Any other report fails the run (exit status 66).
        TSAN_OPTIONS="halt_on_error=0 die_after_fork=0 suppressions=$PWD/tests/engine/tsan.supp" \
            "$build/tests/engine/engine_tests"
        ;;
esac
