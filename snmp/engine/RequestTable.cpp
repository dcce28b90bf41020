#include "RequestTable.h"

#include <algorithm>
#include <utility>

namespace brellan {

void RequestTable::add(Request request, Clock::time_point now)
{
    forgetExpired(now);
    const std::int32_t id = request.requestId;
    m_outstanding[id] = std::move(request);
}

const RequestTable::Request* RequestTable::find(std::int32_t requestId) const
{
    const auto it = m_outstanding.find(requestId);
    return it == m_outstanding.end() ? nullptr : &it->second;
}

RequestTable::Verdict RequestTable::classify(std::int32_t requestId, std::uint32_t source,
                                             const snmp::Oid& answered) const
{
    const Request* request = find(requestId);
    if (!request)
        return {m_completed.contains(requestId) ? Answer::Duplicate : Answer::Unknown, nullptr};
    if (!request->broadcast && source != request->target)
        return {Answer::WrongSource, request};
    if (request->broadcast && request->answeredBy.contains(source))
        return {Answer::Duplicate, request};
    if (request->type == snmp::PduType::GetRequest && answered != request->firstOid)
        return {Answer::WrongObject, request};
    if (request->type == snmp::PduType::GetNextRequest && !(answered > request->firstOid))
        return {Answer::NotAdvancing, request};
    return {Answer::New, request};
}

bool RequestTable::inUse(std::int32_t requestId) const
{
    return m_outstanding.contains(requestId) || m_completed.contains(requestId);
}

void RequestTable::accept(std::int32_t requestId, std::uint32_t source, Clock::time_point now)
{
    const auto it = m_outstanding.find(requestId);
    if (it == m_outstanding.end())
        return;
    if (it->second.broadcast) {
        it->second.answeredBy.insert(source);
        return;
    }
    complete(requestId, now);
}

void RequestTable::complete(std::int32_t requestId, Clock::time_point now)
{
    if (m_outstanding.erase(requestId) > 0)
        remember(requestId, now);
}

void RequestTable::clear()
{
    m_outstanding.clear();
    m_completed.clear();
    m_completedOrder.clear();
}

RequestTable::Due RequestTable::takeDue(Clock::time_point now)
{
    forgetExpired(now);
    Due due;
    for (auto it = m_outstanding.begin(); it != m_outstanding.end();) {
        Request& request = it->second;
        if (request.deadline > now) {
            ++it;
            continue;
        }
        if (request.broadcast) {
            // The window has closed; answers after it are duplicates for a while.
            remember(request.requestId, now);
            it = m_outstanding.erase(it);
        } else if (now < request.giveUpAt) {
            const std::chrono::milliseconds waited = request.wait;
            ++request.copiesSent;
            request.lastSentAt = now;
            request.wait = std::min(request.wait * 2, request.maximumWait);
            request.deadline = std::min(now + request.wait, request.giveUpAt);
            due.resend.push_back({&request, waited});
            ++it;
        } else {
            due.givenUp.push_back({request.target, request.copiesSent});
            it = m_outstanding.erase(it);
        }
    }
    return due;
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
