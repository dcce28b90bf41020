#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

namespace brellan {

// One decoded trap as the receive thread hands it on: what the Trap event
// carries, with the agent's address still a number (host byte order).
struct ReceivedTrap {
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    std::uint32_t agentAddress = 0;
};

// The traps between the receive thread and the GUI thread: first in, first
// out, bounded, so a window that cannot keep up costs a known amount of
// memory (12 bytes a trap) and never more. What does not fit is counted,
// never silently lost. The one lock of the engine guards it; the receive
// thread holds it once per read pass, the GUI thread once per slice taken.
class TrapQueue {
public:
    struct Counters {
        std::uint64_t malformed = 0; // datagrams that failed to decode
        std::uint64_t unmatched = 0; // decoded, but no trap
        std::uint64_t dropped = 0;   // traps that found the queue full
    };

    explicit TrapQueue(std::size_t capacity) : m_capacity(capacity) {}

    // Receive thread: appends what fits of `traps` and counts the rest as
    // dropped, with one pass's count of datagrams that were no trap. True
    // when the queue was empty before: the GUI thread must be told, since
    // it stops looking once it has emptied the queue.
    bool push(std::span<const ReceivedTrap> traps, std::uint64_t malformed, std::uint64_t unmatched);
    // GUI thread: removes and returns the oldest traps, at most `limit`.
    std::vector<ReceivedTrap> take(std::size_t limit);

    Counters counters() const;
    std::size_t capacity() const { return m_capacity; }

private:
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::deque<ReceivedTrap> m_traps;
    Counters m_counters;
};

} // namespace brellan
