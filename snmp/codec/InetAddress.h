// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace brellan::snmp {

// An IPv4 or IPv6 address: where a request goes, where an answer or a trap
// came from. An IPv6 address may carry its zone, the interface a
// link-local address is reached through ("eth0" in fe80::1%eth0), which
// takes part in comparisons: fe80::1 on one link is another host than on
// the next. Plain value, no Qt, so the trap record and its store keep it.
class InetAddress {
public:
    using Ipv6Bytes = std::array<std::uint8_t, 16>;

    // 0.0.0.0.
    InetAddress() = default;
    // An IPv4 address in host byte order (implicit: every IPv4 address
    // the program handled so far was one of these).
    InetAddress(std::uint32_t ipv4) : m_ipv4(ipv4) {}
    // An IPv6 address, its 16 octets in network order, and its zone.
    static InetAddress ipv6(const Ipv6Bytes& octets, std::string zone = {});

    bool isIpv6() const { return m_isIpv6; }
    // The IPv4 address in host byte order; nothing for an IPv6 one.
    std::optional<std::uint32_t> ipv4() const
    {
        return m_isIpv6 ? std::nullopt : std::optional<std::uint32_t>(m_ipv4);
    }
    // The IPv6 octets (all zero for an IPv4 address), and the zone.
    const Ipv6Bytes& ipv6Octets() const { return m_ipv6; }
    const std::string& zone() const { return m_zone; }
    // 0.0.0.0 or ::, the address of nobody.
    bool isUnspecified() const;

    // "10.0.0.7"; IPv6 in its shortest form (RFC 5952), with "%zone".
    std::string text() const;
    // "10.0.0.7:40121"; "[fd00:5::2]:40121" (RFC 5952 section 6).
    std::string textWithPort(std::uint16_t port) const;

    friend auto operator<=>(const InetAddress&, const InetAddress&) = default;

private:
    bool m_isIpv6 = false;
    std::uint32_t m_ipv4 = 0;
    Ipv6Bytes m_ipv6{};
    std::string m_zone;
};

} // namespace brellan::snmp
