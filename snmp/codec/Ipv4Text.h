// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brellan::snmp {

// Strict IPv4 dotted-decimal text: exactly four decimal parts of one to
// three digits, each 0..255, no leading zeros (so "010" is never read as
// octal by one tool and decimal by another), nothing around them. Returns
// the address in host byte order, or nullopt for anything else.
std::optional<std::uint32_t> parseIpv4Text(std::string_view text);

// The four octets of an address, first to last, in host byte order.
inline std::uint32_t ipv4FromOctets(const std::array<std::uint8_t, 4>& octets)
{
    return std::uint32_t{octets[0]} << 24 | std::uint32_t{octets[1]} << 16 | std::uint32_t{octets[2]} << 8 | octets[3];
}

// The dotted decimal text of an address in host byte order.
std::string ipv4Text(std::uint32_t address);

} // namespace brellan::snmp
