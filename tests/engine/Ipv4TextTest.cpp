// SPDX-License-Identifier: GPL-3.0-or-later
// IPv4 addresses as the operator writes them and as the status line and
// the trap lines show them.

#include "Ipv4Text.h"

#include <gtest/gtest.h>

namespace brellan::snmp {
namespace {

TEST(Ipv4Text, AcceptsOnlyStrictDottedDecimal)
{
    EXPECT_EQ(parseIpv4Text("0.0.0.0"), 0u);
    EXPECT_EQ(parseIpv4Text("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(parseIpv4Text("192.168.1.20"), 0xC0A80114u);
    EXPECT_EQ(ipv4Text(0xC0A80114u), "192.168.1.20");
    EXPECT_EQ(ipv4FromOctets({192, 168, 1, 20}), 0xC0A80114u);
    for (const char* bad : {"", " ", "foo", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                            "1.2.3.", ".1.2.3", "010.1.1.1", "1.2.3.-4", "1.2.3.4x", "1234.1.1.1", "1.2.3.0x1"})
        EXPECT_FALSE(parseIpv4Text(bad)) << '"' << bad << '"';
}

} // namespace
} // namespace brellan::snmp
