// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReceivedTrap.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace brellan {

// A trap waiting between the receive thread and the GUI thread, with the
// moment it was read, which orders it among the answers the GUI thread reads.
struct QueuedTrap {
    std::chrono::steady_clock::time_point readAt;
    ReceivedTrap trap;
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
    Pushed push(QueuedTrap&& queued);
    // Receive thread: a datagram that decoded but was no trap.
    void countNotATrap();
    // GUI thread: moves the oldest traps, at most `limit`, to the end of
    // `into`; returns how many.
    std::size_t moveOldestInto(std::deque<QueuedTrap>& into, std::size_t limit);

    Counters counters() const;

private:
    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::deque<QueuedTrap> m_traps;
    std::size_t m_bytes = 0;
    Counters m_counters;
};

} // namespace brellan
