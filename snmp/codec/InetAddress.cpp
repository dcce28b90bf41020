// SPDX-License-Identifier: GPL-3.0-or-later
#include "InetAddress.h"

#include "Ipv4Text.h"

#include <algorithm>
#include <cstdio>

namespace brellan::snmp {
namespace {

// RFC 5952: each group in lowercase hex without leading zeros, and the
// longest run of two or more zero groups (the first of equal runs) as "::".
std::string ipv6Text(const InetAddress::Ipv6Bytes& octets)
{
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < groups.size(); ++i)
        groups[i] = static_cast<unsigned>(octets[2 * i] << 8 | octets[2 * i + 1]);
    std::size_t bestStart = groups.size();
    std::size_t bestLength = 1;
    for (std::size_t start = 0; start < groups.size();) {
        std::size_t end = start;
        while (end < groups.size() && groups[end] == 0)
            ++end;
        if (end - start > bestLength) {
            bestStart = start;
            bestLength = end - start;
        }
        start = std::max(end, start + 1);
    }
    std::string text;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        char group[8];
        std::snprintf(group, sizeof group, "%x", groups[i]);
        text += group;
    }
    return text;
}

} // namespace

InetAddress InetAddress::ipv6(const Ipv6Bytes& octets, std::string zone)
{
    InetAddress address;
    address.m_isIpv6 = true;
    address.m_ipv6 = octets;
    address.m_zone = std::move(zone);
    return address;
}

bool InetAddress::isUnspecified() const
{
    return m_isIpv6 ? m_ipv6 == Ipv6Bytes{} : m_ipv4 == 0;
}

std::string InetAddress::text() const
{
    if (!m_isIpv6)
        return ipv4Text(m_ipv4);
    return m_zone.empty() ? ipv6Text(m_ipv6) : ipv6Text(m_ipv6) + "%" + m_zone;
}

std::string InetAddress::textWithPort(std::uint16_t port) const
{
    std::string written = m_isIpv6 ? '[' + text() + ']' : text();
    written += ':';
    written += std::to_string(port);
    return written;
}

} // namespace brellan::snmp
