// SPDX-License-Identifier: GPL-3.0-or-later
// The engine as the component the manager sees: its variable list and
// target, the sending of requests (to one agent, or to every network at
// once for a broadcast), the matching of answers to them, and the copies
// and give-ups the request table says are due.

#include "UdpEngine.h"

#include "BroadcastRoutes.h"
#include "OperatorTexts.h"
#include "QtAddress.h"
#include "SnmpError.h"

#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace brellan {
namespace {

constexpr std::uint32_t limitedBroadcast = 0xFFFFFFFFu;

} // namespace

UdpEngine::UdpEngine(QObject* parent) : UdpEngine(Settings{}, parent) {}

UdpEngine::UdpEngine(Settings settings, QObject* parent)
    : QObject(parent),
      m_settings(std::move(settings)),
      m_requestSocket(answersPerPass, [this](SnmpSocket::Received& received) { handleAnswer(received); }, this),
      m_requestSocket6(answersPerPass, [this](SnmpSocket::Received& received) { handleAnswer(received); }, this),
      m_requests(m_settings.timing),
      m_trapReceiver({m_settings.trapBindAddress, m_settings.trapBindAddress6}, m_settings.trapPort,
                     m_settings.receiveBufferBytes,
                     {m_settings.trapQueueCapacity, m_settings.trapQueueBytes}, this),
      m_target([this](const RemoteTarget::LookupEnd& end) { sendWaitingRequests(end); }, this),
      m_delivery(m_trapReceiver.queue(),
                 {[this](MatchedAnswer& answer) { raiseResponseTo(answer); },
                  [this](const PendingNotice& notice) { raiseNotice(notice.text); },
                  [this](const ReceivedTrap& trap) { raiseTrapFrom(trap); }, [this] { reportTrapLosses(); }},
                 this)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UdpEngine::onTimer);

    // The request socket takes whatever port the system gives it; answers
    // come back to it, from the agent port, and so do answers to broadcasts
    // where no search socket can be had.
    m_requestSocket.setReceiveBufferSize(m_settings.receiveBufferBytes);
    if (const auto failure = m_requestSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        qWarning("SNMP request socket cannot be opened: %s", qPrintable(failure->text));
    m_requestSocket.acceptOnlyFromPort(m_settings.agentPort);
    openSearchSocket();
    // Where IPv6 is off this fails, and IPv6 agents cannot be reached: a
    // request to one then says why.
    m_requestSocket6.setReceiveBufferSize(m_settings.receiveBufferBytes);
    if (const auto failure = m_requestSocket6.bind(QHostAddress(QHostAddress::AnyIPv6), 0))
        qInfo("SNMP request socket for IPv6 cannot be opened: %s", qPrintable(failure->text));
    m_requestSocket6.acceptOnlyFromPort(m_settings.agentPort);
    // Through this object, not straight to m_delivery: the receive thread
    // may still signal while the members go, and this object goes last.
    connect(&m_trapReceiver, &TrapReceiver::trapsWaiting, this, [this] { m_delivery.deliverWaiting(); },
            Qt::QueuedConnection);
    connect(&m_trapReceiver, &TrapReceiver::receptionCountsChanged, this, &UdpEngine::reportTrapReceptionCounts,
            Qt::QueuedConnection);
}

UdpEngine::~UdpEngine() = default;

// Where the system allows, broadcasts leave from a group of sockets sharing
// a port of their own: thousands of agents answering a search at once
// overflow one socket's buffer at the system's default limit. Walks keep
// the request socket, read on this thread with no hand-over between
// threads on the way of each answer.
void UdpEngine::openSearchSocket()
{
    if (m_settings.searchSocketsSharingPort <= 0)
        return;
    auto group = std::make_unique<SnmpSocket>(broadcastAnswersPerPass,
                                              [this](SnmpSocket::Received& received) { handleAnswer(received); });
    group->setReceiveBufferSize(m_settings.receiveBufferBytes);
    if (!group->bindSharedPort(m_settings.searchSocketsSharingPort))
        return;
    group->acceptOnlyFromPort(m_settings.agentPort);
    m_searchSocket = std::move(group);
}

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

void UdpEngine::setRemoteHost(const std::string& host)
{
    m_target.set(host);
}

std::string UdpEngine::RemoteHost() const
{
    return m_target.written();
}

// Abandons every request outstanding, a host name's lookup under way and
// every answer not yet raised (traps stay): a new request set-up follows.
void UdpEngine::Reset()
{
    m_target.abandonLookup();
    m_requests.clear();
    m_dropsAtBroadcast.clear();
    m_delivery.dropPosted();
    m_variables.clear();
    scheduleTimer();
    updateAnswersPerPass();
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

// Encodes, sends and records the request; its timing is the request
// table's to decide. To a host name not yet found, it waits for the address.
void UdpEngine::send(snmp::PduType type)
{
    std::vector<snmp::Oid> oids = m_variables.requestOids();
    if (const std::optional<snmp::InetAddress> address = m_target.address()) {
        sendTo(type, std::move(oids), *address, m_target.name());
        return;
    }
    if (m_target.holdUntilFound({type, std::move(oids)}))
        return;
    throw SnmpError("Nothing to send: no agent address is set (RemoteHost)");
}

// A name's lookup ended. The requests that waited go to its first address;
// the broadcast rules apply to that address as to one written out.
void UdpEngine::sendWaitingRequests(const RemoteTarget::LookupEnd& end)
{
    const Clock::time_point now = Clock::now();
    if (!end.address) {
        m_delivery.raiseNowOrQueue({now, PendingNotice{couldNotFindText(end.name, end.whyNotFound)}});
        return;
    }
    for (const RemoteTarget::WaitingRequest& request : end.waiting) {
        // Called from the event loop: a refusal is told on the status line,
        // as there is no command left to fail.
        try {
            sendTo(request.type, request.oids, *end.address, end.name);
        } catch (const SnmpError& error) {
            m_delivery.raiseNowOrQueue({now, PendingNotice{error.what()}});
        }
    }
}

void UdpEngine::sendTo(snmp::PduType type, std::vector<snmp::Oid> oids, const snmp::InetAddress& target,
                       const std::string& name)
{
    // Every agent answers a broadcast, and a walk that went on there would
    // send a broadcast for each answer: a walk never continues at one.
    const Clock::time_point now = Clock::now();
    const bool broadcast = isBroadcastAddress(target, now);
    if (broadcast && type == snmp::PduType::GetNextRequest)
        return;
    const std::int32_t id = newRequestId();
    std::vector<std::uint8_t> datagram = snmp::encodeRequest(type, m_settings.community, id, oids);
    // Read before the send: an answer may come back, and be dropped, at once.
    const std::uint64_t dropsAtSend = broadcast ? searchSocket().systemDrops().value_or(0) : 0;
    if (target == snmp::InetAddress(limitedBroadcast))
        sendBroadcast(datagram);
    else
        sendUnicast(broadcast ? searchSocket() : requestSocketFor(target), datagram, target);
    ++m_counters.requests;
    if (broadcast)
        m_dropsAtBroadcast[id] = dropsAtSend;
    m_requests.add({id, type, std::move(oids.front()), target, name, broadcast, std::move(datagram)}, now);
    scheduleTimer();
    if (broadcast)
        updateAnswersPerPass();
}

// A request id from the system's cryptographic random source: 31 bits,
// positive, and none outstanding or lately completed. A host that sees one
// request learns nothing of the next one's id.
std::int32_t UdpEngine::newRequestId()
{
    while (true) {
        if (m_randomIdsUsed == m_randomIds.size()) {
            QRandomGenerator::system()->fillRange(m_randomIds.data(), m_randomIds.size());
            m_randomIdsUsed = 0;
        }
        const auto id = static_cast<std::int32_t>(m_randomIds[m_randomIdsUsed++] & 0x7FFFFFFFu);
        if (id != 0 && !m_requests.inUse(id))
            return id;
    }
}

// IPv6 has no broadcast: only an IPv4 address may be one.
bool UdpEngine::isBroadcastAddress(const snmp::InetAddress& target, Clock::time_point now)
{
    const std::optional<std::uint32_t> address = target.ipv4();
    if (!address)
        return false;
    if (*address == limitedBroadcast)
        return true;
    if (!m_broadcastsReadAt || now - *m_broadcastsReadAt >= std::chrono::seconds(1)) {
        m_directedBroadcasts = directedBroadcastAddresses();
        m_broadcastsReadAt = now;
    }
    return m_directedBroadcasts.contains(*address);
}

void UdpEngine::sendUnicast(SnmpSocket& socket, std::span<const std::uint8_t> datagram,
                            const snmp::InetAddress& target)
{
    const QHostAddress address = m_target.address() == target ? m_target.qtAddress() : toQtAddress(target);
    if (const auto refused = socket.send(datagram, address, m_settings.agentPort))
        throw SnmpError(cannotSendText(target, *refused));
}

SnmpSocket& UdpEngine::requestSocketFor(const snmp::InetAddress& target)
{
    return target.isIpv6() ? m_requestSocket6 : m_requestSocket;
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
        if (const auto refused = searchSocket().send(datagram, everyone, m_settings.agentPort))
            throw SnmpError(cannotBroadcastText(*refused));
        return;
    }

    std::string failures;
    int sent = 0;
    for (const BroadcastRoute& route : routes) {
        const auto refused = searchSocket().send(datagram, everyone, m_settings.agentPort, route.interfaceIndex);
        if (!refused) {
            ++sent;
            continue;
        }
        const std::string failure = route.interfaceName.toStdString() + ": " + *refused;
        qWarning("SNMP broadcast not sent through %s", failure.c_str());
        failures += (failures.empty() ? "" : "; ") + failure;
    }
    if (sent == 0)
        throw SnmpError(cannotBroadcastText(failures));
}

// --- Answers ---

// Each datagram the request socket decoded, from the agent port.
void UdpEngine::handleAnswer(SnmpSocket::Received& received)
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
        m_requests.matchAnswer(response->requestId, received.source, response->bindings.front().oid, now);
    switch (verdict.match) {
    case RequestTable::Match::Unknown: ++m_counters.unmatched; return;
    case RequestTable::Match::Duplicate: ++m_counters.duplicates; return;
    case RequestTable::Match::WrongSource: ++m_counters.wrongSource; return;
    case RequestTable::Match::WrongObject: ++m_counters.wrongObject; return;
    case RequestTable::Match::NotAdvancing: break;
    case RequestTable::Match::New: break;
    }
    scheduleTimer();
    // The first answer of a pass is raised at once (a walk's next request
    // leaves while the socket is read again); the rest of a burst, answers
    // to a broadcast, is read out of the system first and raised after.
    if (verdict.match == RequestTable::Match::New) {
        deliverAnswerEvent({now, MatchedAnswer{response->errorStatus, std::move(response->bindings), received.source}},
                           received.firstOfPass);
    } else if (!verdict.broadcast) {
        const snmp::Oid& answered = response->bindings.front().oid;
        deliverAnswerEvent(
            {now, PendingNotice{walkStoppedText(received.source, verdict.asked, answered, response->errorStatus)}},
            received.firstOfPass);
    }
}

void UdpEngine::deliverAnswerEvent(EventDelivery::Posted posted, bool firstOfPass)
{
    if (firstOfPass)
        m_delivery.raiseNowOrQueue(std::move(posted));
    else
        m_delivery.raiseAfterThisPass(std::move(posted));
}

// --- Copies and give-ups ---

void UdpEngine::onTimer()
{
    // Answers to a search received before its window closes count for it,
    // however long this thread was busy meanwhile: they are taken first
    // (the event loop may run this timer before the passes that would).
    if (m_requests.broadcastOpen())
        searchSocket().readWaiting(answersTakenAtClose);
    const Clock::time_point now = Clock::now();
    const RequestTable::Due due = m_requests.advanceTo(now);
    m_counters.timeouts += due.givenUp.size();
    for (const RequestTable::Resend& copy : due.resend) {
        // Same datagram, same request id: an answer to any copy completes it.
        ++m_counters.retries;
        if (const auto refused =
                requestSocketFor(copy.target).send(copy.datagram, toQtAddress(copy.target), m_settings.agentPort))
            qWarning("SNMP request to %s not sent again: %s", copy.target.text().c_str(), refused->c_str());
    }
    scheduleTimer();
    if (!due.broadcastsClosed.empty())
        updateAnswersPerPass();
    for (const RequestTable::GivenUp& request : due.givenUp) {
        const std::string text = noAnswerText(request.target, request.targetName, request.copiesSent);
        m_delivery.raiseNowOrQueue({now, PendingNotice{text + communityNote(m_settings.community)}});
    }
    for (const RequestTable::ClosedBroadcast& closed : due.broadcastsClosed)
        m_delivery.raiseNowOrQueue({now, PendingNotice{searchDoneNotice(closed)}});
}

// What the system dropped on the request socket while the broadcast was
// answered was, most of it, answers to it: the operator learns the search
// missed agents.
std::string UdpEngine::searchDoneNotice(const RequestTable::ClosedBroadcast& closed)
{
    const auto atSend = m_dropsAtBroadcast.extract(closed.requestId);
    const std::uint64_t dropsNow = searchSocket().systemDrops().value_or(0);
    // The system's count is 32 bits wide: it may have wrapped meanwhile.
    const std::uint64_t lost = atSend.empty() ? 0 : static_cast<std::uint32_t>(dropsNow - atSend.mapped());
    m_counters.answersLostToBuffer += lost;
    return searchDoneText(closed.answered, lost) + communityNote(m_settings.community);
}

// Sets how many datagrams the request socket reads per pass: one while
// walks are answered one request at a time (the next request is out before
// the socket is read again), a burst's worth while a broadcast is answered.
void UdpEngine::updateAnswersPerPass()
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

// --- Raising ---

// The handler reads the answer through VarOid(i)/VarValue(i), and
// SendGetNext asks for what follows it.
void UdpEngine::raiseResponseTo(MatchedAnswer& answer)
{
    m_variables.replaceWith(std::move(answer.bindings));
    ++m_counters.responses;
    raiseResponse(answer.errorStatus, answer.from.text());
}

void UdpEngine::raiseTrapFrom(const ReceivedTrap& trap)
{
    raiseTrap(trap.genericTrap, trap.specificTrap, trap.agentAddress.text(), trap);
}

// After each slice of raising: the trap list's tooltip says how many traps
// a full queue has lost.
void UdpEngine::reportTrapLosses()
{
    const std::uint64_t lost = m_trapReceiver.queue().counters().dropped;
    if (lost == m_trapLossesReported)
        return;
    m_trapLossesReported = lost;
    emit trapReceiverStateChanged(m_trapReceiver.state());
}

// The receive thread read its socket empty after the system dropped traps
// for a full buffer, or after datagrams that were no trap: the tooltip says
// so, and the status line once for each burst lost.
void UdpEngine::reportTrapReceptionCounts()
{
    const std::uint64_t lost = m_trapReceiver.bufferDrops();
    if (lost > m_bufferLossesNoticed) {
        const std::uint64_t burst = lost - m_bufferLossesNoticed;
        m_bufferLossesNoticed = lost;
        m_delivery.raiseNowOrQueue({Clock::now(), PendingNotice{trapsLostToBufferNotice(burst)}});
    }
    emit trapReceiverStateChanged(m_trapReceiver.state());
}

UdpEngine::Counters UdpEngine::counters() const
{
    Counters counters = m_counters;
    for (const SnmpSocket* socket :
         {&m_requestSocket, &m_requestSocket6, static_cast<const SnmpSocket*>(m_searchSocket.get())}) {
        if (!socket)
            continue;
        const SnmpSocket::Counters read = socket->counters();
        counters.malformed += read.malformed;
        counters.wrongSource += read.wrongSource;
    }
    counters.overflowed = m_delivery.overflowed();
    const TrapQueue::Counters trapQueue = m_trapReceiver.queue().counters();
    counters.trapsMalformed = m_trapReceiver.socketCounters().malformed;
    counters.notTraps = trapQueue.notTraps;
    counters.trapsDropped = trapQueue.dropped;
    counters.trapsLostToBuffer = m_trapReceiver.bufferDrops();
    return counters;
}

} // namespace brellan
