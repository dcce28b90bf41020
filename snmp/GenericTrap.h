// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace brellan {

// The generic-trap codes of an SNMPv1 trap (RFC 1157) and their names, for
// the trap log's lines and a trap's details alike.
inline constexpr std::int32_t enterpriseSpecificTrap = 6;

// "coldStart" .. "enterpriseSpecific" for codes 0 to 6; no name for any other.
constexpr std::optional<std::string_view> genericTrapName(std::int32_t genericTrap)
{
    constexpr std::array<std::string_view, 7> names{"coldStart", "warmStart",          "linkDown",
                                                    "linkUp",    "authenticationFailure", "egpNeighborLoss",
                                                    "enterpriseSpecific"};
    if (genericTrap < 0 || genericTrap >= static_cast<std::int32_t>(names.size()))
        return std::nullopt;
    return names[static_cast<std::size_t>(genericTrap)];
}

} // namespace brellan
