# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that print their own usage for --help or a wrong
# option.
#
#   print_usage FILE
#       Prints the usage block of FILE's header comment: from the line that
#       starts "# Usage:" to the last comment line before the first line
#       that is not a comment, without the leading "# ". However long the
#       block grows, it is printed whole.

print_usage() {
    awk '/^# Usage:/ { inside = 1 } inside && !/^#/ { exit } inside { sub(/^# ?/, ""); print }' "$1"
}
