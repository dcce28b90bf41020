// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The identifier octets SNMP uses (RFC 1155, RFC 2578, RFC 3416).

#include <cstdint>

namespace brellan::snmp::tag {

inline constexpr std::uint8_t integer = 0x02;
inline constexpr std::uint8_t octetString = 0x04;
inline constexpr std::uint8_t null = 0x05;
inline constexpr std::uint8_t objectIdentifier = 0x06;
inline constexpr std::uint8_t sequence = 0x30;

// [APPLICATION n] IMPLICIT, primitive.
inline constexpr std::uint8_t ipAddress = 0x40;
inline constexpr std::uint8_t counter = 0x41;
inline constexpr std::uint8_t gauge = 0x42;
inline constexpr std::uint8_t timeTicks = 0x43;
inline constexpr std::uint8_t opaque = 0x44;
inline constexpr std::uint8_t counter64 = 0x46;
inline constexpr std::uint8_t uinteger32 = 0x47; // kept as an Opaque with this tag

// [CONTEXT n] IMPLICIT NULL: the exception values of RFC 3416.
inline constexpr std::uint8_t noSuchObject = 0x80;
inline constexpr std::uint8_t noSuchInstance = 0x81;
inline constexpr std::uint8_t endOfMibView = 0x82;

inline constexpr std::uint8_t classMask = 0xC0;
inline constexpr std::uint8_t applicationClass = 0x40;
inline constexpr std::uint8_t constructedBit = 0x20;

} // namespace brellan::snmp::tag
