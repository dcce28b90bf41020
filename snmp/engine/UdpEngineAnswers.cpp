// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's receiving side: answers matched to their requests, copies
// sent again, requests given up and broadcasts no longer answered, with
// what the status line says about those.

#include "UdpEngine.h"

#include "Ipv4Text.h"

#include <algorithm>

namespace brellan {
namespace {

std::string noAnswerText(const RequestTable::GivenUp& request)
{
    const std::string address = ipv4Text(request.target);
    const std::string agent = request.targetName.empty() ? address : request.targetName + " (" + address + ")";
    return "No answer from " + agent + " after " + std::to_string(request.copiesSent)
           + (request.copiesSent == 1 ? " try" : " tries");
}

std::string searchDoneText(std::size_t answered)
{
    if (answered == 0)
        return "Search done: no agent answered";
    return "Search done: " + std::to_string(answered) + (answered == 1 ? " agent answered" : " agents answered");
}

// An agent at the end of its view says so with noSuchName and the object
// asked for (RFC 1157 4.1.3); anything else that does not move on is a
// broken agent.
std::string walkStoppedText(std::uint32_t agent, const snmp::Pdu& answer, const snmp::Oid& asked)
{
    constexpr std::int32_t noSuchName = 2;
    const std::string prefix = "Walk stopped: " + ipv4Text(agent);
    const snmp::Oid& answered = answer.bindings.front().oid;
    if (answered == asked && answer.errorStatus == noSuchName)
        return prefix + " has nothing after " + snmp::formatOid(asked) + " (noSuchName)";
    if (answered == asked)
        return prefix + " answered " + snmp::formatOid(answered) + " again";
    return prefix + " went back to " + snmp::formatOid(answered);
}

} // namespace

// --- Answers ---

// Each datagram the request socket decoded, from the agent port.
void UdpEngine::takeAnswer(SnmpSocket::Received& received)
{
    auto* response = std::get_if<snmp::Pdu>(&received.message.pdu);
    if (received.message.version != snmp::versionV1 || received.message.community != m_settings.community
        || !response || response->type != snmp::PduType::GetResponse) {
        ++m_counters.unmatched;
        return;
    }
    // The manager reads binding 1 of every answer: one without bindings is broken.
    if (response->bindings.empty()) {
        ++m_counters.malformed;
        return;
    }
    const Clock::time_point now = Clock::now();
    const RequestTable::Verdict verdict =
        m_requests.answer(response->requestId, received.source, response->bindings.front().oid, now);
    switch (verdict.answer) {
    case RequestTable::Answer::Unknown: ++m_counters.unmatched; return;
    case RequestTable::Answer::Duplicate: ++m_counters.duplicates; return;
    case RequestTable::Answer::WrongSource: ++m_counters.wrongSource; return;
    case RequestTable::Answer::WrongObject: ++m_counters.wrongObject; return;
    case RequestTable::Answer::NotAdvancing: break;
    case RequestTable::Answer::New: break;
    }
    scheduleTimer();
    // The first answer of a pass is raised at once (a walk's next request
    // leaves while the socket is read again); the rest of a burst, answers
    // to a broadcast, is read out of the system first and raised after.
    const Delivery when = received.firstOfPass ? Delivery::Now : Delivery::AfterThisPass;
    if (verdict.answer == RequestTable::Answer::New) {
        post({now, Answer{response->errorStatus, std::move(response->bindings), received.source}}, when);
        return;
    }
    ++m_counters.notAdvancing;
    if (!verdict.broadcast)
        post({now, Notice{walkStoppedText(received.source, *response, verdict.asked)}}, when);
}

// --- Retries ---

void UdpEngine::onTimer()
{
    const Clock::time_point now = Clock::now();
    const RequestTable::Due due = m_requests.takeDue(now);
    m_counters.timeouts += due.givenUp.size();
    for (const RequestTable::Resend& copy : due.resend) {
        // Same datagram, same request id: an answer to any copy completes it.
        ++m_counters.retries;
        ++m_counters.walkRetries;
        if (const auto refused = m_requestSocket.send(copy.datagram, QHostAddress(copy.target), m_settings.agentPort))
            qWarning("SNMP request to %s not sent again: %s", ipv4Text(copy.target).c_str(), refused->c_str());
    }
    scheduleTimer();
    if (!due.broadcastsClosed.empty())
        readAsAnswersCome();
    for (const RequestTable::GivenUp& request : due.givenUp)
        post({now, Notice{noAnswerText(request) + communityNote()}});
    for (const std::size_t answered : due.broadcastsClosed)
        post({now, Notice{searchDoneText(answered) + communityNote()}});
}

void UdpEngine::readAsAnswersCome()
{
    m_requestSocket.setDatagramsPerPass(m_requests.broadcastOpen() ? broadcastAnswersPerPass : answersPerPass);
}

// A timer already armed for an earlier moment is left alone: when it
// fires, onTimer finds nothing due and arms it for the next deadline. A walk
// thus arms the timer once per wait (50 ms or more) instead of twice per
// answer.
void UdpEngine::scheduleTimer()
{
    const std::optional<Clock::time_point> next = m_requests.nextDeadline();
    if (!next || (m_timer.isActive() && m_timerDue <= *next))
        return;
    m_timerDue = *next;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    m_timer.start(std::max(wait, std::chrono::milliseconds(0)));
}

} // namespace brellan
