// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// By its path from here: the core builds with snmp/ alone on its include path.
#include "codec/InetAddress.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace brellan {

// One trap as it reached the trap port: what its line shows (the codes and
// the agent), when and from which UDP source it came, and its datagram
// exactly as received. The engine builds it on the receive thread, the Trap
// event carries it, and the trap store keeps it behind the trap's line.
// The datagram is never trusted: whoever reads more of it decodes it as a
// datagram off the wire.
struct ReceivedTrap {
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    // The one a v1 trap names (IPv4), else its source (IPv4 or IPv6).
    snmp::InetAddress agentAddress;
    // To the microsecond: finer than anyone reads it, and what the trap store keeps.
    std::chrono::sys_time<std::chrono::microseconds> receivedAt;
    snmp::InetAddress sourceAddress;
    std::uint16_t sourcePort = 0;
    std::vector<std::uint8_t> datagram;
};

} // namespace brellan
