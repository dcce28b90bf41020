// SPDX-License-Identifier: GPL-3.0-or-later
// The one place the engine raises its events: answers and notices posted
// on this thread and traps taken from the receive thread's queue, one at a
// time, in the order they arrived.

#include "UdpEngine.h"

#include "Ipv4Text.h"

#include <functional>
#include <utility>

namespace brellan {
namespace {

// Ends a delivery however it ends (a handler may throw): delivering stops,
// and when more may be waiting, the engine delivers again after the event
// loop's turn.
class DeliveryScope {
public:
    DeliveryScope(bool& delivering, std::function<void()> deliverLater)
        : m_delivering(delivering), m_deliverLater(std::move(deliverLater))
    {
        m_delivering = true;
    }
    ~DeliveryScope()
    {
        m_delivering = false;
        if (moreMayWait)
            m_deliverLater();
    }
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;

    bool moreMayWait = true;

private:
    bool& m_delivering;
    std::function<void()> m_deliverLater;
};

} // namespace

void UdpEngine::post(Pending pending, Delivery when)
{
    if (m_pending.size() >= maxPending) {
        ++m_counters.overflowed;
        return;
    }
    m_pending.push_back(std::move(pending));
    if (when == Delivery::Now)
        deliverPending();
    else
        scheduleDelivery();
}

// Called when something was posted, when the receive thread has queued
// traps, and to go on after a slice. A handler still running (it may have
// opened a dialog, whose event loop brought us here) finishes first: the
// loop that called it delivers what came meanwhile.
void UdpEngine::deliverPending()
{
    m_deliveryScheduled = false;
    if (m_delivering)
        return;
    DeliveryScope scope(m_delivering, [this] { scheduleDelivery(); });
    std::optional<Clock::time_point> sliceStart; // read once there is something to raise
    while (nextIsWaiting()) {
        const Clock::time_point now = Clock::now();
        if (!sliceStart)
            sliceStart = now;
        else if (now - *sliceStart >= deliverySlice)
            break;
        deliverNext();
    }
    scope.moreMayWait = !m_pending.empty() || !m_traps.empty();
    reportTrapDrops();
}

// Whether an answer, a notice or a trap waits; takes the next traps from
// the receive thread's queue when none are in hand. When it says no, the
// queue was empty, so the receive thread tells us of its next trap.
bool UdpEngine::nextIsWaiting()
{
    if (m_traps.empty())
        m_trapReceiver.queue().take(trapsPerTake, m_traps);
    return !m_pending.empty() || !m_traps.empty();
}

// Raises the event that arrived first: the oldest answer or notice, or
// the oldest trap.
void UdpEngine::deliverNext()
{
    const bool trapFirst =
        !m_traps.empty() && (m_pending.empty() || m_traps.front().readAt <= m_pending.front().arrived);
    if (trapFirst) {
        const QueuedTrap queued = std::move(m_traps.front());
        m_traps.pop_front();
        raise(queued.trap);
        return;
    }
    Pending next = std::move(m_pending.front());
    m_pending.pop_front();
    std::visit([this](auto& event) { raise(event); }, next.event);
}

void UdpEngine::scheduleDelivery()
{
    if (!std::exchange(m_deliveryScheduled, true))
        QMetaObject::invokeMethod(this, &UdpEngine::deliverPending, Qt::QueuedConnection);
}

// The handler reads the answer through VarOid(i)/VarValue(i), and
// SendGetNext asks for what follows it.
void UdpEngine::raise(Answer& answer)
{
    m_variables.replaceWith(std::move(answer.bindings));
    ++m_counters.responses;
    raiseResponse(answer.errorStatus, snmp::ipv4Text(answer.from));
}

void UdpEngine::raise(const Notice& notice)
{
    raiseNotice(notice.text);
}

void UdpEngine::raise(const ReceivedTrap& trap)
{
    ++m_counters.traps;
    raiseTrap(trap.genericTrap, trap.specificTrap, snmp::ipv4Text(trap.agentAddress), trap);
}

void UdpEngine::reportTrapDrops()
{
    const std::uint64_t dropped = m_trapReceiver.queue().counters().dropped;
    if (dropped == m_trapDropsReported)
        return;
    m_trapDropsReported = dropped;
    emit trapReceiverStateChanged(m_trapReceiver.state());
}

UdpEngine::Counters UdpEngine::counters() const
{
    Counters counters = m_counters;
    const SnmpSocket::Counters requestSocket = m_requestSocket.counters();
    counters.malformed += requestSocket.malformed;
    counters.wrongSource += requestSocket.wrongSource;
    const SnmpSocket::Counters trapSocket = m_trapReceiver.socketCounters();
    const TrapQueue::Counters trapQueue = m_trapReceiver.queue().counters();
    counters.trapsMalformed = trapSocket.malformed;
    counters.notTraps = trapQueue.notTraps;
    counters.trapsDropped = trapQueue.dropped;
    return counters;
}

} // namespace brellan
