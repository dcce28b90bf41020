// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace brellan {

// One trap as the trap list keeps it for its details: when it was received,
// the UDP source it came from, and its datagram exactly as received (never
// trusted: whoever reads it decodes it as it would a datagram off the wire).
struct KeptTrap {
    std::chrono::system_clock::time_point receivedAt;
    std::uint32_t sourceAddress = 0; // IPv4, host byte order
    std::uint16_t sourcePort = 0;
    std::vector<std::uint8_t> datagram;
};

} // namespace brellan
