// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ipv4Text.h"

namespace brellan::snmp {

std::optional<std::uint32_t> parseIpv4Text(std::string_view text)
{
    std::uint32_t address = 0;
    std::size_t position = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (position >= text.size() || text[position] != '.')
                return std::nullopt;
            ++position;
        }
        const std::size_t start = position;
        std::uint32_t value = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9' && position - start < 3) {
            value = value * 10 + static_cast<std::uint32_t>(text[position] - '0');
            ++position;
        }
        const std::size_t digits = position - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (position != text.size())
        return std::nullopt;
    return address;
}

std::string ipv4Text(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "."
           + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

} // namespace brellan::snmp
