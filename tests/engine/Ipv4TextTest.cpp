// SPDX-License-Identifier: GPL-3.0-or-later
// IPv4 addresses as the operator writes them, and IPv4 and IPv6 addresses
// as the status line, the trap lines and their details show them.

#include "InetAddress.h"
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

// RFC 5952: the longest run of zero groups (the first of equal ones) is
// "::", a lone zero group is not, hex is lowercase without leading zeros.
TEST(InetAddressText, WritesIpv6InItsShortestFormAndBracketsItBeforeAPort)
{
    const auto ipv6 = [](std::initializer_list<unsigned> groups, std::string zone = {}) {
        InetAddress::Ipv6Bytes octets{};
        std::size_t i = 0;
        for (const unsigned group : groups) {
            octets[i++] = static_cast<std::uint8_t>(group >> 8);
            octets[i++] = static_cast<std::uint8_t>(group);
        }
        return InetAddress::ipv6(octets, std::move(zone));
    };
    EXPECT_EQ(ipv6({0xfd00, 5, 0, 0, 0, 0, 0, 2}).text(), "fd00:5::2");
    EXPECT_EQ(ipv6({0, 0, 0, 0, 0, 0, 0, 1}).text(), "::1");
    EXPECT_EQ(ipv6({0, 0, 0, 0, 0, 0, 0, 0}).text(), "::");
    EXPECT_EQ(ipv6({0x2001, 0xDB8, 0, 1, 0, 0, 0, 7}).text(), "2001:db8:0:1::7");
    EXPECT_EQ(ipv6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}).text(), "2001:db8::1:0:0:1");
    EXPECT_EQ(ipv6({1, 0, 2, 0, 3, 0, 4, 0}).text(), "1:0:2:0:3:0:4:0");
    EXPECT_EQ(ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, "eth0").text(), "fe80::1%eth0");
    EXPECT_EQ(ipv6({0xfd00, 5, 0, 0, 0, 0, 0, 2}).textWithPort(40121), "[fd00:5::2]:40121");
    EXPECT_EQ(InetAddress(0x0A000007).textWithPort(40121), "10.0.0.7:40121");
    EXPECT_NE(ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, "eth0"), ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, "eth1"));
    EXPECT_NE(InetAddress(0), ipv6({0, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace
} // namespace brellan::snmp
