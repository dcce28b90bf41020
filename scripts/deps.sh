#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that one purpose needs, and does nothing when
# they are all present already.
#
# Usage: scripts/deps.sh GROUP...
#   build          building and running the program
#   demo           the demo's agent and trap sender (snmpd and the command-line
#                  tools; never snmptrapd, whose service would take UDP 162)
#   test           what the tests add (the demo's packages come with it)
#   bench          what the benchmarks add, snmptrapd among them
#   fuzz           clang and its fuzzer runtime
#   screenshot     a virtual display, a window driver and a screen capture
#   package        building the Debian package
#   package-check  checking the package: lintian and the desktop validators
#   display        a virtual display (Xvfb)
#   a11y           reading the window through the accessibility bus: a virtual
#                  display, D-Bus, AT-SPI and its Python bindings, xdotool
#   sandbox        network namespaces and process tools for the private checks
#   cache          ccache, through which CI compiles every build
set -euo pipefail

source "$(dirname "$0")/lib/usage.sh"
usage() { print_usage "$0"; }

packages=()
for group in "$@"; do
    case "$group" in
        build) packages+=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libzstd-dev libxxhash-dev libsmi2-dev fonts-liberation2) ;;
        demo) packages+=(snmpd snmp) ;;
        test) packages+=(libgtest-dev libgmock-dev snmpd snmp tshark libwireshark-data iproute2 nftables util-linux procps) ;;
        bench) packages+=(libbenchmark-dev libsnmp-dev snmpd snmp snmptrapd gnuplot-nox xvfb xauth python3 libx11-6 util-linux iproute2) ;;
        fuzz) packages+=(clang libclang-rt-14-dev) ;;
        screenshot) packages+=(xvfb xauth xdotool imagemagick procps) ;;
        package) packages+=(dpkg-dev file) ;;
        package-check) packages+=(lintian desktop-file-utils appstream libcap2-bin snmp snmpd) ;;
        display) packages+=(xvfb xauth) ;;
        a11y) packages+=(xvfb xauth dbus-daemon at-spi2-core python3 python3-gi gir1.2-atspi-2.0 xdotool) ;;
        sandbox) packages+=(iproute2 util-linux procps) ;;
        cache) packages+=(ccache) ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done
[ ${#packages[@]} -gt 0 ] || { usage >&2; exit 2; }

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        [[ " ${missing[*]} " == *" $package "* ]] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run this as root (or install them with sudo apt-get install)." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"

if [[ " ${missing[*]} " == *" snmptrapd "* ]]; then
    echo "Note: snmptrapd was installed. Where systemd runs, its service may now hold UDP port 162," >&2
    echo "and Brellan then receives no traps. To stop it for good:" >&2
    echo "  sudo systemctl disable --now snmptrapd.service snmptrapd.socket" >&2
fi
