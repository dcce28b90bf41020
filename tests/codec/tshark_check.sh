#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the encoder's messages into a pcap file and has Wireshark's SNMP
# dissector read them back: no packet may be malformed, and the fields must
# be the ones written. Exits 77 (skipped) when tshark is not installed.
# Usage: tshark_check.sh <codec_write_pcap>
set -eu

writer="$1"
command -v tshark >/dev/null 2>&1 || { echo "tshark not installed: skipped"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$writer" "$work/codec.pcap"
tshark -r "$work/codec.pcap" -V >"$work/dissected.txt" 2>"$work/stderr.txt"

failed=0
if grep -i -q -E "malformed|exception occurred" "$work/dissected.txt"; then
    echo "tshark reports a malformed packet:"
    grep -i -E -B5 "malformed|exception occurred" "$work/dissected.txt"
    failed=1
fi

expect_count() {
    found="$(grep -c -F -- "$2" "$work/dissected.txt" || true)"
    if [ "$found" -ne "$1" ]; then
        echo "expected $1 line(s) with \"$2\", found $found"
        failed=1
    fi
}

expect() {
    grep -q -F -- "$1" "$work/dissected.txt" || { echo "missing: $1"; failed=1; }
}

expect_count 5 "Simple Network Management Protocol"
expect_count 5 "community: mervik"
expect_count 4 "version: version-1 (0)"
expect_count 1 "version: v2c (1)"
expect "data: get-request (0)"
expect "data: get-next-request (1)"
expect "data: get-response (2)"
expect "data: trap (4)"
expect "data: snmpV2-trap (7)"
expect_count 2 "request-id: 1001"
expect_count 1 "request-id: 1002"
expect_count 1 "request-id: 2002"
expect "[Response To: 1]"
expect "Object Name: 1.3.6.1.2.1.1.1.0 "
expect "Object Name: 1.3.6.1.2.1.1.4.0 "
expect "Value (OctetString): \"Brellan test agent\""
expect "Value (OID): 1.3.6.1.4.1.8072.3.2.10 "
expect "Value (Timeticks): 27390607"
expect "Value (Counter32): 4294967295"
expect "Value (Gauge32): 1000000000"
expect "Value (IpAddress): 127.0.0.1"
expect "Value (Integer32): -129"
expect "Value (Opaque): deadbeef"
expect "enterprise: 1.3.6.1.4.1.8072.2.3.1 "
expect "agent-addr: 10.1.2.3"
expect "generic-trap: enterpriseSpecific (6)"
expect "specific-trap: 17"
expect "time-stamp: 123456"
expect "Value (OID): 1.3.6.1.6.3.1.1.5.3 "
expect "Value (Counter64): 18446744073709551615"
expect "Value (IpAddress): 10.9.8.7"

if [ "$failed" -ne 0 ]; then
    echo "--- tshark output ---"
    sed -n '/Simple Network Management Protocol/,/^$/p' "$work/dissected.txt"
    exit 1
fi
echo "tshark dissected 5 messages without fault"
