#!/usr/bin/env bash
# Builds Brellan and runs every test. On a fresh machine it first installs
# what it needs. Usage: scripts/test.sh [--sanitize]
#   --sanitize  build with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    flags+=(-DBRELLAN_SANITIZE=ON)
fi

scripts/deps.sh build test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}"
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --timeout 300 -j 2
