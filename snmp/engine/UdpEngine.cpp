#include "UdpEngine.h"

#include "BroadcastRoutes.h"
#include "DatagramIo.h"
#include "Ipv4Text.h"
#include "SnmpError.h"

#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace brellan {
namespace {

using Clock = RequestTable::Clock;

constexpr std::uint32_t limitedBroadcast = 0xFFFFFFFFu;

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

UdpEngine::UdpEngine(QObject* parent) : UdpEngine(Settings{}, parent) {}

UdpEngine::UdpEngine(Settings settings, QObject* parent)
    : QObject(parent),
      m_settings(std::move(settings)),
      m_requests(std::max(m_settings.broadcastWindow, m_settings.retryInterval * (m_settings.retries + 1))),
      m_datagram(maxDatagramSize)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UdpEngine::onTimer);

    // The request socket takes whatever port the system gives it; answers
    // come back to it, broadcasts leave through it.
    if (!m_requestSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        qWarning("SNMP request socket cannot be opened: %s", qPrintable(m_requestSocket.errorString()));
    connect(&m_requestSocket, &QUdpSocket::readyRead, this, &UdpEngine::readRequestSocket);

    m_trapReceiver = new TrapReceiver(m_settings.trapBindAddress, m_settings.trapPort, this);
    connect(m_trapReceiver, &TrapReceiver::trapReceived, this, &UdpEngine::deliverTrap);
}

UdpEngine::~UdpEngine() = default;

// --- Variable list and target ---

void UdpEngine::setVarCount(int count)
{
    m_variables.setCount(count);
}

void UdpEngine::setVarOid(int index, const std::string& oid)
{
    m_variables.setOid(index, oid);
}

std::string UdpEngine::VarOid(int index) const
{
    return m_variables.oidText("VarOid", index);
}

std::string UdpEngine::VarValue(int index) const
{
    return m_variables.valueText("VarValue", index);
}

// The address is checked here, when it is written, so the error names the
// text the operator gave; a rejected address leaves no target behind, and a
// later send fails instead of reaching the previous agent.
void UdpEngine::setRemoteHost(const std::string& host)
{
    if (!parseIpv4Text(host)) {
        m_remoteHost.clear();
        throw SnmpError("Invalid agent address \"" + host
                        + "\": expected an IPv4 address in dotted decimal such as 192.168.1.20");
    }
    m_remoteHost = host;
}

std::string UdpEngine::RemoteHost() const
{
    return m_remoteHost;
}

void UdpEngine::Reset()
{
    m_requests.clear();
    m_events.dropResponses();
    m_variables.clear();
    scheduleTimer();
}

// --- Sending ---

void UdpEngine::SendGet()
{
    send(snmp::PduType::GetRequest);
}

void UdpEngine::SendGetNext()
{
    send(snmp::PduType::GetNextRequest);
}

std::uint32_t UdpEngine::remoteAddress() const
{
    const std::optional<std::uint32_t> address = parseIpv4Text(m_remoteHost);
    if (!address)
        throw SnmpError("Nothing to send: no agent address is set (RemoteHost)");
    return *address;
}

// A request id from the system's cryptographic random source: 31 bits,
// positive, and none outstanding or lately completed. A host that sees one
// request learns nothing of the next one's id.
std::int32_t UdpEngine::takeRequestId() const
{
    while (true) {
        const auto id = static_cast<std::int32_t>(QRandomGenerator::system()->generate() & 0x7FFFFFFFu);
        if (id != 0 && !m_requests.inUse(id))
            return id;
    }
}

bool UdpEngine::isBroadcastAddress(std::uint32_t address) const
{
    return address == limitedBroadcast || m_directedBroadcasts.contains(address);
}

void UdpEngine::send(snmp::PduType type)
{
    std::vector<snmp::Oid> oids = m_variables.requestOids();
    const std::uint32_t target = remoteAddress();
    if (type == snmp::PduType::GetRequest)
        m_directedBroadcasts = directedBroadcastAddresses();
    // Every agent answers a broadcast, and a walk that went on there would
    // send a broadcast for each answer: a walk never continues at one.
    const bool broadcast = isBroadcastAddress(target);
    if (broadcast && type == snmp::PduType::GetNextRequest) {
        ++m_counters.broadcastWalksRefused;
        return;
    }
    const std::int32_t id = takeRequestId();
    std::vector<std::uint8_t> datagram = snmp::encodeRequest(type, m_settings.community, id, oids);

    if (target == limitedBroadcast)
        sendBroadcast(datagram);
    else
        sendUnicast(datagram, target);
    ++m_counters.requests;

    RequestTable::Request request;
    request.requestId = id;
    request.type = type;
    request.firstOid = std::move(oids.front());
    request.target = target;
    request.broadcast = broadcast;
    request.retriesLeft = broadcast ? 0 : std::max(0, m_settings.retries);
    request.retryInterval = m_settings.retryInterval;
    const Clock::time_point now = Clock::now();
    request.deadline = now + (broadcast ? m_settings.broadcastWindow : m_settings.retryInterval);
    if (!broadcast)
        request.datagram = std::move(datagram);
    m_requests.add(std::move(request), now);
    scheduleTimer();
}

void UdpEngine::sendUnicast(std::span<const std::uint8_t> datagram, std::uint32_t target)
{
    if (const auto refused = sendDatagram(m_requestSocket, datagram, QHostAddress(target), m_settings.agentPort))
        throw SnmpError("Cannot send the request to " + ipv4Text(target) + ": " + *refused);
}

// Left alone, the system sends a limited broadcast out of one interface
// only: it goes out of every broadcast-capable one, so a machine on two
// networks reaches the agents of both. With no such interface the system
// routes it, and its refusal is reported.
void UdpEngine::sendBroadcast(std::span<const std::uint8_t> datagram)
{
    const QHostAddress everyone(QHostAddress::Broadcast);
    const QList<BroadcastRoute> routes = broadcastRoutes();
    if (routes.isEmpty()) {
        if (const auto refused = sendDatagram(m_requestSocket, datagram, everyone, m_settings.agentPort))
            throw SnmpError("Cannot send the broadcast request to 255.255.255.255: " + *refused);
        return;
    }

    std::string failures;
    int sent = 0;
    for (const BroadcastRoute& route : routes) {
        const auto refused =
            sendDatagram(m_requestSocket, datagram, everyone, m_settings.agentPort, route.interfaceIndex);
        if (!refused) {
            ++sent;
            continue;
        }
        const std::string failure = route.interfaceName.toStdString() + ": " + *refused;
        qWarning("SNMP broadcast not sent through %s", failure.c_str());
        failures += (failures.empty() ? "" : "; ") + failure;
    }
    if (sent == 0)
        throw SnmpError("Cannot send the broadcast request to 255.255.255.255: " + failures);
}

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
    m_requests.accept(response->requestId, *source, Clock::now()); // `verdict.request` is gone from here on
    scheduleTimer();
    if (!stopsTheWalk) {
        deliverResponse(response->errorStatus, std::move(response->bindings), ipv4Text(*source));
        return;
    }
    ++m_counters.notAdvancing;
    if (unicast)
        reportFailure(stoppedText);
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

void UdpEngine::deliverTrap(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress)
{
    m_events.post(EventQueue::Kind::Trap, [this, genericTrap, specificTrap, agentAddress] {
        ++m_counters.traps;
        raiseTrap(genericTrap, specificTrap, agentAddress);
    });
}

// --- Retries and windows ---

void UdpEngine::onTimer()
{
    const RequestTable::Due due = m_requests.takeDue(Clock::now());
    m_counters.timeouts += due.givenUp.size();
    for (const RequestTable::Request* request : due.resend) {
        // Same datagram, same request id: an answer to any copy completes it.
        ++m_counters.retries;
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
// thus arms the timer about once a second instead of twice per answer.
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

QString UdpEngine::trapReceiverProblem() const
{
    return m_trapReceiver->problem();
}

std::uint16_t UdpEngine::boundTrapPort() const
{
    return m_trapReceiver->boundPort();
}

UdpEngine::Counters UdpEngine::counters() const
{
    Counters counters = m_counters;
    counters.malformed += m_trapReceiver->counters().malformed;
    counters.unmatched += m_trapReceiver->counters().unmatched;
    counters.overflowed = m_events.overflowed();
    return counters;
}

} // namespace brellan
