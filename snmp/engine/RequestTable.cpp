// SPDX-License-Identifier: GPL-3.0-or-later
#include "RequestTable.h"

#include <algorithm>
#include <utility>

namespace brellan {

RequestTable::RequestTable(Timing timing)
    : m_timing(timing),
      m_linger(std::max(timing.broadcastWindow, timing.giveUpAfter)),
      m_roundTrips(timing)
{
}

void RequestTable::add(Sent sent, Clock::time_point now)
{
    forgetExpired(now);
    Request request;
    request.sentAt = now;
    request.lastSentAt = now;
    if (sent.broadcast) {
        // Sent once; answers are taken until the window closes.
        request.giveUpAt = now;
        request.deadline = now + m_timing.broadcastWindow;
        sent.datagram.clear();
    } else {
        request.wait = m_roundTrips.timeout(sent.target);
        request.giveUpAt = now + m_timing.giveUpAfter;
        request.deadline = now + request.wait;
    }
    request.sent = std::move(sent);
    const std::int32_t id = request.sent.requestId;
    m_outstanding[id] = std::move(request);
}

bool RequestTable::inUse(std::int32_t requestId) const
{
    return m_outstanding.contains(requestId) || m_completed.contains(requestId);
}

RequestTable::Match RequestTable::classify(const Request* request, std::int32_t requestId,
                                           const snmp::InetAddress& source, const snmp::Oid& answered) const
{
    if (!request)
        return m_completed.contains(requestId) ? Match::Duplicate : Match::Unknown;
    const Sent& sent = request->sent;
    if (!sent.broadcast && source != sent.target)
        return Match::WrongSource;
    if (sent.broadcast && request->answeredBy.contains(source))
        return Match::Duplicate;
    if (sent.type == snmp::PduType::GetRequest && answered != sent.firstOid)
        return Match::WrongObject;
    if (sent.type == snmp::PduType::GetNextRequest && !(answered > sent.firstOid))
        return Match::NotAdvancing;
    return Match::New;
}

RequestTable::Verdict RequestTable::matchAnswer(std::int32_t requestId, const snmp::InetAddress& source,
                                                const snmp::Oid& answered, Clock::time_point now)
{
    const auto found = m_outstanding.find(requestId);
    Request* request = found == m_outstanding.end() ? nullptr : &found->second;
    Verdict verdict;
    verdict.match = classify(request, requestId, source, answered);
    if (verdict.match != Match::New && verdict.match != Match::NotAdvancing)
        return verdict;
    verdict.broadcast = request->sent.broadcast;
    if (verdict.match == Match::NotAdvancing)
        verdict.asked = request->sent.firstOid;
    if (request->sent.broadcast) {
        request->answeredBy.insert(source);
        return verdict;
    }
    learnRoundTrip(*request, now);
    m_outstanding.erase(found);
    remember(requestId, now);
    return verdict;
}

// Karn's rule: an answer to a request sent more than once may answer any
// copy, so only one sent once measures the round trip.
void RequestTable::learnRoundTrip(const Request& request, Clock::time_point answeredAt)
{
    using std::chrono::duration_cast;
    const snmp::InetAddress& agent = request.sent.target;
    if (request.copiesSent == 1)
        m_roundTrips.addSample(agent, duration_cast<RttEstimator::Duration>(answeredAt - request.sentAt));
    else
        m_roundTrips.noteAnswerAfterResend(agent, duration_cast<RttEstimator::Duration>(answeredAt - request.lastSentAt));
}

void RequestTable::clear()
{
    m_outstanding.clear();
    m_completed.clear();
    m_completedOrder.clear();
}

RequestTable::Due RequestTable::advanceTo(Clock::time_point now)
{
    forgetExpired(now);
    Due due;
    for (auto it = m_outstanding.begin(); it != m_outstanding.end();) {
        Request& request = it->second;
        if (request.deadline > now) {
            ++it;
            continue;
        }
        if (request.sent.broadcast) {
            // The window has closed; answers after it are duplicates for a while.
            due.broadcastsClosed.push_back({it->first, request.answeredBy.size()});
            remember(it->first, now);
            it = m_outstanding.erase(it);
        } else if (now < request.giveUpAt) {
            // The first copy's wait ran out: the agent's wait backs off.
            if (request.copiesSent == 1)
                m_roundTrips.noteTimeout(request.sent.target, request.wait);
            ++request.copiesSent;
            request.lastSentAt = now;
            request.wait = std::min(request.wait * 2, m_timing.maximumWait);
            request.deadline = std::min(now + request.wait, request.giveUpAt);
            due.resend.push_back({request.sent.target, request.sent.datagram});
            ++it;
        } else {
            due.givenUp.push_back({request.sent.target, std::move(request.sent.targetName), request.copiesSent});
            it = m_outstanding.erase(it);
        }
    }
    return due;
}

bool RequestTable::broadcastOpen() const
{
    return std::any_of(m_outstanding.begin(), m_outstanding.end(),
                       [](const auto& entry) { return entry.second.sent.broadcast; });
}

std::optional<RequestTable::Clock::time_point> RequestTable::nextDeadline() const
{
    std::optional<Clock::time_point> next;
    for (const auto& [id, request] : m_outstanding) {
        if (!next || request.deadline < *next)
            next = request.deadline;
    }
    return next;
}

void RequestTable::remember(std::int32_t requestId, Clock::time_point now)
{
    if (m_completedOrder.size() >= maxRemembered) {
        m_completed.erase(m_completedOrder.front().first);
        m_completedOrder.pop_front();
    }
    m_completed.insert(requestId);
    m_completedOrder.emplace_back(requestId, now + m_linger);
}

void RequestTable::forgetExpired(Clock::time_point now)
{
    while (!m_completedOrder.empty() && m_completedOrder.front().second <= now) {
        m_completed.erase(m_completedOrder.front().first);
        m_completedOrder.pop_front();
    }
}

} // namespace brellan
