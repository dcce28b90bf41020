// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Message.h"
#include "TrapQueue.h"

#include <QObject>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace brellan {

// An answer matched to its request, waiting to be raised as Response.
struct MatchedAnswer {
    std::int32_t errorStatus = 0;
    std::vector<snmp::VarBind> bindings;
    snmp::InetAddress from;
};

// What the operator is to know of a request that ended without an answer
// to pass on, waiting to be raised as Notice.
struct PendingNotice {
    std::string text;
};

// The one place the engine's events are raised, on the GUI thread: answers
// and notices posted there, and traps taken from the receive thread's
// queue. They are raised one at a time, in the order they arrived; never
// while another event's handler runs (it may have opened a dialog, whose
// event loop lets more datagrams in); and in slices of at most 5 ms, after
// each of which the event loop has its turn.
class EventDelivery final : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    struct Posted {
        Clock::time_point arrived;
        std::variant<MatchedAnswer, PendingNotice> event;
    };
    // What raising each kind of event means, and what follows each slice.
    struct Raisers {
        std::function<void(MatchedAnswer& answer)> answer;
        std::function<void(const PendingNotice& notice)> notice;
        std::function<void(const ReceivedTrap& trap)> trap;
        std::function<void()> afterSlice;
    };

    // Answers and notices waiting, at most; more are counted and dropped.
    static constexpr std::size_t maxPosted = 100000;

    EventDelivery(TrapQueue& traps, Raisers raisers, QObject* parent = nullptr);

    // Raises what waits, this event last, unless a handler is running: then
    // it waits for that handler to return.
    void raiseNowOrQueue(Posted posted);
    // Raises it after the event loop's turn: the rest of a burst is read
    // out of the system first.
    void raiseAfterThisPass(Posted posted);
    // Raises what waits, a slice's worth. Called when the receive thread has
    // queued traps, and to go on after a slice.
    void deliverWaiting();
    // Forgets the answers and notices not yet raised (traps stay).
    void dropPosted() { m_posted.clear(); }
    // Answers and notices lost because too many waited for a busy handler.
    std::uint64_t overflowed() const { return m_overflowed; }

private:
    static constexpr std::size_t trapsPerRefill = 512;
    static constexpr std::chrono::nanoseconds slice{std::chrono::milliseconds(5)};

    bool enqueue(Posted&& posted);
    bool anythingWaiting();
    void raiseOldest();
    void deliverAfterTheEventLoopsTurn();

    TrapQueue& m_queue;
    Raisers m_raisers;
    std::deque<Posted> m_posted;
    std::deque<QueuedTrap> m_traps; // taken from the queue, not yet raised
    bool m_raising = false;
    bool m_deliveryScheduled = false;
    std::uint64_t m_overflowed = 0;
};

} // namespace brellan
