# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# Sourced by the scripts that show the window on a virtual X display.
#
# start_xvfb WORKDIR [WIDTHxHEIGHT]: starts Xvfb (640x560 unless told; 24
# bits, 96 DPI, no TCP) on a display number nobody uses, reported by Xvfb
# itself; sets xvfb_pid and exports DISPLAY, QT_QPA_PLATFORM=xcb and
# QT_FONT_DPI=96. The caller kills $xvfb_pid when it is done.
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

start_xvfb() {
    local work=$1 size=${2:-640x560}
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -dpi 96 -nolisten tcp 2>"$work/xvfb.log" &
    xvfb_pid=$!
    exec 3>&-
    wait_until --while "$xvfb_pid" 10 test -s "$work/display" ||
        { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; return 1; }
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
    export QT_QPA_PLATFORM=xcb QT_FONT_DPI=96
}
