#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Compiles each core source with only core/ and snmp/ on the include path,
# so a Qt include anywhere in the core fails the test.
set -eu
root=$1
status=0
for source in "$root"/core/*.cpp; do
    if ! "$CXX" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$root/core" -I"$root/snmp" "$source"; then
        status=1
    fi
done
if grep -rnE '#include <Q|#include "Q' "$root/core"; then
    echo "core/ includes a Qt header"
    status=1
fi
exit $status
