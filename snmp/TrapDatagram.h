// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

namespace brellan {

// A trap as it reached the trap port: when, from which UDP source, and its
// bytes exactly as received. It rides along the Trap event for whoever
// shows more of a trap than its line (the manager reads none of it). The
// bytes are valid only while the event is being raised: keep a copy.
struct TrapDatagram {
    std::chrono::system_clock::time_point receivedAt;
    std::uint32_t sourceAddress = 0; // IPv4, host byte order
    std::uint16_t sourcePort = 0;
    std::span<const std::uint8_t> bytes;
};

} // namespace brellan
