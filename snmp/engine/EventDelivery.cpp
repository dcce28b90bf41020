// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventDelivery.h"

#include <optional>
#include <utility>

namespace brellan {
namespace {

// Ends a slice however it ends (a handler may throw): raising stops, and
// when more may be waiting, delivery goes on after the event loop's turn.
class SliceScope {
public:
    SliceScope(bool& raising, std::function<void()> goOnLater)
        : m_raising(raising), m_goOnLater(std::move(goOnLater))
    {
        m_raising = true;
    }
    ~SliceScope()
    {
        m_raising = false;
        if (moreMayWait)
            m_goOnLater();
    }
    SliceScope(const SliceScope&) = delete;
    SliceScope& operator=(const SliceScope&) = delete;

    bool moreMayWait = true;

private:
    bool& m_raising;
    std::function<void()> m_goOnLater;
};

} // namespace

EventDelivery::EventDelivery(TrapQueue& traps, Raisers raisers, QObject* parent)
    : QObject(parent), m_queue(traps), m_raisers(std::move(raisers))
{
}

void EventDelivery::raiseNowOrQueue(Posted posted)
{
    if (enqueue(std::move(posted)))
        deliverWaiting();
}

void EventDelivery::raiseAfterThisPass(Posted posted)
{
    if (enqueue(std::move(posted)))
        deliverAfterTheEventLoopsTurn();
}

bool EventDelivery::enqueue(Posted&& posted)
{
    if (m_posted.size() >= maxPosted) {
        ++m_overflowed;
        return false;
    }
    m_posted.push_back(std::move(posted));
    return true;
}

// A handler still running (it may have opened a dialog, whose event loop
// brought us here) finishes first: the slice that called it goes on with
// what came meanwhile.
void EventDelivery::deliverWaiting()
{
    m_deliveryScheduled = false;
    if (m_raising)
        return;
    SliceScope scope(m_raising, [this] { deliverAfterTheEventLoopsTurn(); });
    std::optional<Clock::time_point> sliceStart; // read once there is something to raise
    while (anythingWaiting()) {
        const Clock::time_point now = Clock::now();
        if (!sliceStart)
            sliceStart = now;
        else if (now - *sliceStart >= slice)
            break;
        raiseOldest();
    }
    scope.moreMayWait = !m_posted.empty() || !m_traps.empty();
    if (m_raisers.afterSlice)
        m_raisers.afterSlice();
}

// Whether an answer, a notice or a trap waits; refills the traps in hand
// from the receive thread's queue when none are left. When it says no, the
// queue was empty, so the receive thread tells of its next trap.
bool EventDelivery::anythingWaiting()
{
    if (m_traps.empty())
        m_queue.moveOldestInto(m_traps, trapsPerRefill);
    return !m_posted.empty() || !m_traps.empty();
}

void EventDelivery::raiseOldest()
{
    const bool trapFirst =
        !m_traps.empty() && (m_posted.empty() || m_traps.front().readAt <= m_posted.front().arrived);
    if (trapFirst) {
        const QueuedTrap queued = std::move(m_traps.front());
        m_traps.pop_front();
        m_raisers.trap(queued.trap);
        return;
    }
    Posted next = std::move(m_posted.front());
    m_posted.pop_front();
    if (auto* answer = std::get_if<MatchedAnswer>(&next.event))
        m_raisers.answer(*answer);
    else
        m_raisers.notice(std::get<PendingNotice>(next.event));
}

void EventDelivery::deliverAfterTheEventLoopsTurn()
{
    if (!std::exchange(m_deliveryScheduled, true))
        QMetaObject::invokeMethod(this, &EventDelivery::deliverWaiting, Qt::QueuedConnection);
}

} // namespace brellan
