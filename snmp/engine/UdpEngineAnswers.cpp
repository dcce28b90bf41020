// The engine's receiving side: answers matched to their requests and
// handed to the manager, traps handed on, copies sent again and requests
// given up, with what the status line says about those.

#include "UdpEngine.h"

#include "DatagramIo.h"
#include "Ipv4Text.h"

#include <algorithm>

namespace brellan {
namespace {

using Clock = RequestTable::Clock;

std::string noAnswerText(std::uint32_t agent, int copiesSent)
{
    return "No answer from " + ipv4Text(agent) + " (" + std::to_string(copiesSent)
           + (copiesSent == 1 ? " try)" : " tries)");
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

// --- Receiving ---

void UdpEngine::readRequestSocket()
{
    m_requestReadQueued = false;
    const bool more = readPass(m_requestSocket, m_datagram, datagramsPerPass,
                               [this](std::span<const std::uint8_t> bytes, const QHostAddress& sender,
                                      quint16 senderPort) { handleResponse(bytes, sender, senderPort); });
    // More waiting: read them on a later pass, after the event loop has had
    // its turn, so a flood never freezes the window.
    if (more && !m_requestReadQueued) {
        m_requestReadQueued = true;
        QMetaObject::invokeMethod(this, &UdpEngine::readRequestSocket, Qt::QueuedConnection);
    }
}

void UdpEngine::handleResponse(std::span<const std::uint8_t> bytes, const QHostAddress& sender,
                               std::uint16_t senderPort)
{
    const std::optional<std::uint32_t> source = ipv4Source(sender);
    snmp::Decoded<snmp::Message> message = snmp::decodeMessage(bytes);
    // The core reads binding 1 of every answer: one without bindings is broken.
    if (!message || !source || message->bindings().empty()) {
        ++m_counters.malformed;
        return;
    }
    auto* response = std::get_if<snmp::Pdu>(&message->pdu);
    if (message->version != snmp::versionV1 || message->community != m_settings.community || !response
        || response->type != snmp::PduType::GetResponse) {
        ++m_counters.unmatched;
        return;
    }
    // Agents answer from the agent port; anything else is not an answer.
    if (senderPort != m_settings.agentPort) {
        ++m_counters.wrongSource;
        return;
    }
    const snmp::Oid& answered = response->bindings.front().oid;
    const RequestTable::Verdict verdict = m_requests.classify(response->requestId, *source, answered);
    switch (verdict.answer) {
    case RequestTable::Answer::Unknown: ++m_counters.unmatched; return;
    case RequestTable::Answer::Duplicate: ++m_counters.duplicates; return;
    case RequestTable::Answer::WrongSource: ++m_counters.wrongSource; return;
    case RequestTable::Answer::WrongObject: ++m_counters.wrongObject; return;
    case RequestTable::Answer::NotAdvancing: break;
    case RequestTable::Answer::New: break;
    }
    const bool stopsTheWalk = verdict.answer == RequestTable::Answer::NotAdvancing;
    const std::string stoppedText = stopsTheWalk ? walkStoppedText(*source, *response, verdict.request->firstOid) : "";
    const bool unicast = !verdict.request->broadcast;
    const Clock::time_point now = Clock::now();
    if (unicast)
        learnRoundTrip(*verdict.request, now);
    m_requests.accept(response->requestId, *source, now); // `verdict.request` is gone from here on
    scheduleTimer();
    if (!stopsTheWalk) {
        deliverResponse(response->errorStatus, std::move(response->bindings), ipv4Text(*source));
        return;
    }
    ++m_counters.notAdvancing;
    if (unicast)
        reportFailure(stoppedText);
}

// Karn's rule: an answer to a request sent more than once may answer any
// copy, so only one sent once measures the round trip.
void UdpEngine::learnRoundTrip(const RequestTable::Request& request, Clock::time_point answeredAt)
{
    using std::chrono::duration_cast;
    if (request.copiesSent == 1)
        m_roundTrips.addSample(request.target, duration_cast<RttEstimator::Duration>(answeredAt - request.sentAt));
    else
        m_roundTrips.noteAnswerAfterResend(request.target,
                                           duration_cast<RttEstimator::Duration>(answeredAt - request.lastSentAt));
}

void UdpEngine::deliverResponse(std::int32_t errorStatus, std::vector<snmp::VarBind> bindings,
                                const std::string& from)
{
    m_events.post(EventQueue::Kind::Response, [this, errorStatus, bindings = std::move(bindings), from] {
        // The handler reads the answer through VarOid(i)/VarValue(i), and
        // SendGetNext asks for what follows it.
        m_variables.replaceWith(bindings);
        ++m_counters.responses;
        raiseResponse(errorStatus, from);
    });
}

// Raised like a response, in order with them, and dropped with them by Reset.
void UdpEngine::reportFailure(const std::string& reason)
{
    m_events.post(EventQueue::Kind::Response, [this, reason] { raiseRequestFailed(reason); });
}

// The trap receiver calls this from m_events, one trap at a time.
void UdpEngine::deliverTrap(const ReceivedTrap& trap)
{
    ++m_counters.traps;
    // The datagram itself does not yet travel with the trap: its time alone.
    raiseTrap(trap.genericTrap, trap.specificTrap, ipv4Text(trap.agentAddress),
              TrapDatagram{std::chrono::system_clock::now(), 0, 0, {}});
}

// --- Retries and windows ---

void UdpEngine::onTimer()
{
    const RequestTable::Due due = m_requests.takeDue(Clock::now());
    m_counters.timeouts += due.givenUp.size();
    for (const auto& [request, waited] : due.resend) {
        // Same datagram, same request id: an answer to any copy completes it.
        ++m_counters.retries;
        ++m_counters.walkRetries;
        if (request->copiesSent == 2)
            m_roundTrips.noteTimeout(request->target, waited);
        if (const auto refused =
                sendDatagram(m_requestSocket, request->datagram, QHostAddress(request->target), m_settings.agentPort))
            qWarning("SNMP request to %s not sent again: %s", ipv4Text(request->target).c_str(), refused->c_str());
    }
    for (const RequestTable::GivenUp& request : due.givenUp)
        reportFailure(noAnswerText(request.target, request.copiesSent));
    scheduleTimer();
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

// --- Diagnosis ---

UdpEngine::Counters UdpEngine::counters() const
{
    Counters counters = m_counters;
    const TrapQueue::Counters traps = m_trapReceiver.counters();
    counters.malformed += traps.malformed;
    counters.unmatched += traps.unmatched;
    counters.trapsDropped = traps.dropped;
    counters.overflowed = m_events.overflowed();
    return counters;
}

} // namespace brellan
