// SPDX-License-Identifier: GPL-3.0-or-later
// The engine as the component the manager sees: its variable list and
// target, and the sending of requests (to one agent, or to every network
// at once for a broadcast).

#include "UdpEngine.h"

#include "BroadcastRoutes.h"
#include "Ipv4Text.h"
#include "SnmpError.h"

#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace brellan {
namespace {

constexpr std::uint32_t limitedBroadcast = 0xFFFFFFFFu;

RequestTable::Timing timingOf(const UdpEngine::Settings& settings)
{
    return {settings.initialWait, settings.minimumWait, settings.maximumWait, settings.giveUpAfter,
            settings.broadcastWindow};
}

} // namespace

UdpEngine::UdpEngine(QObject* parent) : UdpEngine(Settings{}, parent) {}

UdpEngine::UdpEngine(Settings settings, QObject* parent)
    : QObject(parent),
      m_settings(std::move(settings)),
      m_requestSocket(answersPerPass, [this](SnmpSocket::Received& received) { takeAnswer(received); }, this),
      m_requests(timingOf(m_settings)),
      m_trapReceiver(m_settings.trapBindAddress, m_settings.trapPort,
                     {m_settings.trapQueueCapacity, m_settings.trapQueueBytes}, this)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UdpEngine::onTimer);

    // The request socket takes whatever port the system gives it; answers
    // come back to it, from the agent port, and broadcasts leave through it.
    if (const auto failure = m_requestSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        qWarning("SNMP request socket cannot be opened: %s", qPrintable(failure->text));
    m_requestSocket.acceptOnlyFromPort(m_settings.agentPort);
    connect(&m_trapReceiver, &TrapReceiver::trapsWaiting, this, &UdpEngine::deliverPending, Qt::QueuedConnection);
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

// Abandons every request outstanding, a host name's lookup under way and
// every answer not yet raised (traps stay): a new request set-up follows.
void UdpEngine::Reset()
{
    abandonLookup();
    m_requests.clear();
    m_pending.clear();
    m_variables.clear();
    m_counters.walkRetries = 0;
    scheduleTimer();
    readAsAnswersCome();
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

// A request id from the system's cryptographic random source: 31 bits,
// positive, and none outstanding or lately completed. A host that sees one
// request learns nothing of the next one's id.
std::int32_t UdpEngine::takeRequestId()
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

bool UdpEngine::isBroadcastAddress(std::uint32_t address, Clock::time_point now)
{
    if (address == limitedBroadcast)
        return true;
    if (!m_broadcastsReadAt || now - *m_broadcastsReadAt >= std::chrono::seconds(1)) {
        m_directedBroadcasts = directedBroadcastAddresses();
        m_broadcastsReadAt = now;
    }
    return m_directedBroadcasts.contains(address);
}

// Encodes, sends and records the request; its timing is the request
// table's to decide. To a host name not yet found, it waits for the address.
void UdpEngine::send(snmp::PduType type)
{
    std::vector<snmp::Oid> oids = m_variables.requestOids();
    if (m_target) {
        sendTo(type, std::move(oids), *m_target, m_targetName);
        return;
    }
    if (m_lookup && !m_targetName.empty() && m_lookup->name == m_targetName) {
        m_lookup->waiting.emplace_back(type, std::move(oids));
        return;
    }
    throw SnmpError("Nothing to send: no agent address is set (RemoteHost)");
}

void UdpEngine::sendTo(snmp::PduType type, std::vector<snmp::Oid> oids, std::uint32_t target, const std::string& name)
{
    // Every agent answers a broadcast, and a walk that went on there would
    // send a broadcast for each answer: a walk never continues at one.
    const Clock::time_point now = Clock::now();
    const bool broadcast = isBroadcastAddress(target, now);
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
    m_requests.add({id, type, std::move(oids.front()), target, name, broadcast, std::move(datagram)}, now);
    scheduleTimer();
    if (broadcast)
        readAsAnswersCome();
}

void UdpEngine::sendUnicast(std::span<const std::uint8_t> datagram, std::uint32_t target)
{
    const QHostAddress address = m_target == target ? m_targetAddress : QHostAddress(target);
    if (const auto refused = m_requestSocket.send(datagram, address, m_settings.agentPort))
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
        if (const auto refused = m_requestSocket.send(datagram, everyone, m_settings.agentPort))
            throw SnmpError("Cannot send the broadcast request to 255.255.255.255: " + *refused);
        return;
    }

    std::string failures;
    int sent = 0;
    for (const BroadcastRoute& route : routes) {
        const auto refused = m_requestSocket.send(datagram, everyone, m_settings.agentPort, route.interfaceIndex);
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

// What the status line adds when no agent answers: an SNMPv1 agent drops a
// request with a community it does not take, without a word, so silence is
// what a wrong community looks like. The community is shown as a value
// would be, so odd octets cannot hide or reorder the line.
std::string UdpEngine::communityNote() const
{
    const snmp::Octets octets(m_settings.community.begin(), m_settings.community.end());
    return " (community " + snmp::valueText(snmp::OctetString{octets}) + ")";
}

} // namespace brellan
