// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace brellan {

// One trap as the receive thread hands it over: what the Trap event
// carries, with the addresses still numbers (IPv4, host byte order).
struct ReceivedTrap {
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    std::uint32_t agentAddress = 0; // the one the trap names, else its source
    std::uint32_t sourceAddress = 0;
    std::uint16_t sourcePort = 0;
    std::chrono::steady_clock::time_point arrived;    // orders it among the answers
    std::chrono::system_clock::time_point receivedAt; // what the operator is told
    std::vector<std::uint8_t> datagram;               // as received
};

// The traps between the receive thread and the GUI thread: first in, first
// out, and bounded both in traps and in the bytes of their datagrams, so a
// window that cannot keep up, or a host that floods it with large traps,
// costs a known amount of memory and never more. What does not fit is
// counted, never silently lost. The one lock of the engine guards it.
class TrapQueue {
public:
    struct Limits {
        std::size_t traps = 0;
        std::size_t bytes = 0; // of the datagrams
    };
    struct Counters {
        std::uint64_t notTraps = 0;           // decoded, but no trap
        std::uint64_t dropped = 0;            // traps that found the queue full
        std::size_t waitingAtLastDrop = 0;    // traps waiting when the last one was dropped
    };

    explicit TrapQueue(Limits limits) : m_limits(limits) {}

    enum class Pushed {
        Dropped,         // it did not fit, and was counted
        Queued,
        QueuedIntoEmpty, // the GUI thread must be told: it stops looking once it has emptied the queue
    };
    // Receive thread: appends the trap, or counts it as dropped when it does
    // not fit.
    Pushed push(ReceivedTrap&& trap);
    // Receive thread: a datagram that decoded but was no trap.
    void countNotATrap();
    // GUI thread: moves the oldest traps, at most `limit`, to the end of
    // `into`; returns how many.
    std::size_t take(std::size_t limit, std::deque<ReceivedTrap>& into);

    Counters counters() const;
    Limits limits() const { return m_limits; }

private:
    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::deque<ReceivedTrap> m_traps;
    std::size_t m_bytes = 0;
    Counters m_counters;
};

} // namespace brellan
