# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by scripts/test.sh --sanitize and scripts/fuzz.sh, which share one
# clang tree: everything in it is compiled once, with AddressSanitizer,
# UndefinedBehaviorSanitizer and the fuzzers' coverage (BRELLAN_FUZZ), and
# warnings as errors. The tests run there under the sanitizers, and the
# fuzz targets link the same libraries.
#
#   sanitizer_tree           the tree's directory (build-asan/ of the sources)
#   configure_sanitizer_tree [CMAKE ARG...]
#       Configures it (clang is named outright, so that a tree configured
#       with another compiler is configured afresh).

sanitizer_tree="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build-asan"

configure_sanitizer_tree() {
    # -O1 and line tables only: the tree builds in about 60 % of the time of
    # -O2 -g, and a report still names file and line. Assertions stay on.
    cmake -S "$(dirname "$sanitizer_tree")" -B "$sanitizer_tree" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
        -DBRELLAN_WERROR=ON -DBRELLAN_FUZZ=ON "$@" >/dev/null
}
