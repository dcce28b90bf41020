// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace brellan {

// A datagram as a socket read it, not yet looked at.
struct ReceivedDatagram {
    std::vector<std::uint8_t> bytes;
    std::uint32_t address = 0; // the sender, IPv4, host byte order
    std::uint16_t port = 0;
    std::int64_t arrivedNs = 0; // when the system received it, for the order across sockets
};

// The datagrams between the thread that reads a group of sockets and the
// GUI thread that decodes them: first in, first out, and bounded both in
// datagrams and in their bytes, so a flood costs a known amount of memory.
// What does not fit is counted, never silently lost.
class DatagramQueue {
public:
    struct Limits {
        std::size_t datagrams = 0;
        std::size_t bytes = 0;
    };

    explicit DatagramQueue(Limits limits) : m_limits(limits) {}

    // Reader: moves `datagrams` in, as many as fit, and counts the rest as
    // dropped; `datagrams` is left empty. True when the queue was empty and
    // now is not: the taker stops looking once it has emptied the queue, so
    // it must then be told.
    bool push(std::vector<ReceivedDatagram>& datagrams);
    // Taker: moves the oldest datagrams, at most `limit`, to the end of
    // `into`; returns how many.
    std::size_t takeOldest(std::vector<ReceivedDatagram>& into, std::size_t limit);
    // Datagrams that found the queue full.
    std::uint64_t dropped() const;

private:
    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::deque<ReceivedDatagram> m_datagrams;
    std::size_t m_bytes = 0;
    std::uint64_t m_dropped = 0;
};

} // namespace brellan
