// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapReceiver.h"

#include "Ipv4Text.h"
#include "OperatorTexts.h"
#include "QtAddress.h"
#include "TrapInfo.h"

#include <QEventLoop>

#include <stdexcept>
#include <string>
#include <vector>

namespace brellan {
namespace {

// Opens the latch when the receive thread leaves, however it leaves (after
// the socket, made later, is gone).
struct StoppedAtExit {
    std::latch& stopped;
    ~StoppedAtExit() { stopped.count_down(); }
};

// RFC 3416 4.2.7: the Response to an InformRequest carries its request-id
// and bindings, with no error. Nothing when it cannot be encoded, or would
// be larger than the inform: an answer never amplifies what was sent.
std::optional<std::vector<std::uint8_t>> informResponse(const snmp::Message& inform, std::size_t informSize)
{
    snmp::Message response = inform;
    auto& pdu = std::get<snmp::Pdu>(response.pdu);
    pdu.type = snmp::PduType::GetResponse;
    pdu.errorStatus = 0;
    pdu.errorIndex = 0;
    try {
        std::vector<std::uint8_t> bytes = snmp::encodeMessage(response);
        if (bytes.size() <= informSize)
            return bytes;
    } catch (const std::invalid_argument&) {
    }
    return std::nullopt;
}

} // namespace

TrapReceiver::TrapReceiver(const Addresses& addresses, std::uint16_t port, int receiveBuffer,
                           TrapQueue::Limits limits, QObject* parent)
    : QObject(parent), m_queue(limits)
{
    m_thread.reset(
        QThread::create([this, addresses, port, receiveBuffer] { receive(addresses, port, receiveBuffer); }));
    m_thread->setObjectName(QStringLiteral("trap receiver"));
    m_thread->start();
    m_bound.wait();
    if (!m_problem.isEmpty())
        qWarning("%s", qPrintable(m_problem));
}

TrapReceiver::~TrapReceiver()
{
    m_thread->quit();
    m_stopped.wait(); // the receive thread is done with this object
    m_thread->wait();
}

// The receive thread: the sockets live here from bind to stop, so they are
// made, used and closed on this thread alone.
void TrapReceiver::receive(const Addresses& addresses, std::uint16_t port, int receiveBuffer)
{
    const StoppedAtExit stopped{m_stopped};
    SnmpSocket ipv4(datagramsPerPass, [this, &ipv4](SnmpSocket::Received& received) { queueTrap(ipv4, received); });
    SnmpSocket ipv6(datagramsPerPass, [this, &ipv6](SnmpSocket::Received& received) { queueTrap(ipv6, received); });
    for (SnmpSocket* socket : {&ipv4, &ipv6}) {
        socket->setReceiveBufferSize(receiveBuffer);
        socket->whenEmptied([this] { noteSocketEmptied(); });
    }
    // DontShareAddress: another trap receiver on the port must make this
    // bind fail rather than silently split the traps with us. Bound to the
    // IPv6 any-address, Qt makes the socket IPv6 only, so the two sockets
    // never share a datagram.
    const auto failure4 = ipv4.bind(addresses.ipv4, port, QAbstractSocket::DontShareAddress);
    const std::uint16_t port6 = ipv4.boundPort() != 0 ? ipv4.boundPort() : port;
    const auto failure6 = ipv6.bind(addresses.ipv6, port6, QAbstractSocket::DontShareAddress);
    m_problem = bindProblems(failure4, failure6, addresses, port6);
    m_boundPort = ipv4.boundPort() != 0 ? ipv4.boundPort() : ipv6.boundPort();
    if (!failure4)
        m_sockets[0] = &ipv4;
    if (!failure6)
        m_sockets[1] = &ipv6;
    const bool bound = m_boundPort != 0;
    m_noneBound = !bound;
    m_bound.count_down(); // from here on the fields above are the GUI thread's
    if (bound) {
        QEventLoop loop;
        loop.exec(); // until the destructor quits the thread
    }
}

// On the receive thread, once a pass has read the socket empty: a burst the
// system dropped datagrams of is over, or at least a full buffer's worth of
// it has been read since it dropped the last ones, so the GUI thread is told
// of each burst's losses once (and of datagrams that were no trap as they
// come). The counts are of both sockets.
void TrapReceiver::noteSocketEmptied()
{
    std::uint64_t drops = 0;
    for (const SnmpSocket* socket : m_sockets)
        drops += socket ? socket->systemDrops().value_or(0) : 0;
    const std::uint64_t unreadableNow = unreadable();
    if (drops == m_bufferDropsTold && unreadableNow == m_unreadableTold)
        return;
    m_bufferDropsTold = drops;
    m_unreadableTold = unreadableNow;
    m_bufferDrops.store(drops, std::memory_order_relaxed);
    emit receptionCountsChanged();
}

// On the receive thread. Traps are queued whatever their community; what is
// not a trap is counted and dropped.
void TrapReceiver::queueTrap(SnmpSocket& socket, SnmpSocket::Received& received)
{
    const std::optional<snmp::TrapInfo> info = snmp::trapInfo(received.message);
    if (!info) {
        m_queue.countNotATrap();
        return;
    }
    QueuedTrap queued{std::chrono::steady_clock::now(), {}};
    ReceivedTrap& trap = queued.trap;
    trap.genericTrap = info->genericTrap;
    trap.specificTrap = info->specificTrap;
    // A v1 trap's agent address is IPv4; one that names none (0.0.0.0), a
    // v2c trap and an inform are known by their source, IPv6 too.
    trap.agentAddress =
        info->agentAddress ? snmp::InetAddress(snmp::ipv4FromOctets(*info->agentAddress)) : received.source;
    trap.receivedAt = std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    trap.sourceAddress = received.source;
    trap.sourcePort = received.sourcePort;
    trap.datagram.assign(received.bytes.begin(), received.bytes.end());
    const bool inform = received.message.type() == snmp::PduType::InformRequest;
    const TrapQueue::Pushed pushed = m_queue.push(std::move(queued));
    if (pushed == TrapQueue::Pushed::Dropped)
        return; // not acknowledged, so an agent sends its inform again
    if (inform)
        acknowledge(socket, received);
    if (pushed == TrapQueue::Pushed::QueuedIntoEmpty)
        emit trapsWaiting();
}

void TrapReceiver::acknowledge(SnmpSocket& socket, const SnmpSocket::Received& inform)
{
    const std::optional<std::vector<std::uint8_t>> response = informResponse(inform.message, inform.bytes.size());
    if (!response)
        return;
    if (const auto refused = socket.send(*response, toQtAddress(inform.source), inform.sourcePort))
        qWarning("Inform from %s not acknowledged: %s", inform.source.text().c_str(), refused->c_str());
}

QString TrapReceiver::bindProblem(const SnmpSocket::BindFailure& failure, const QHostAddress& address,
                                  std::uint16_t port, const std::string& family)
{
    switch (failure.error) {
    case QAbstractSocket::AddressInUseError: return QString::fromStdString(trapPortInUseText(port, family));
    case QAbstractSocket::SocketAccessError: return QString::fromStdString(trapPortNeedsPrivilegeText(port, family));
    default:
        return QString::fromStdString(
            trapPortCannotOpenText(port, address.toString().toStdString(), failure.text.toStdString(), family));
    }
}

// When both sockets fail, the IPv4 one's failure says why (the IPv6 one's is
// most often the same); when one fails, the text names its family alone.
// `port` is the one both were asked for (the IPv4 one's, once it has one).
QString TrapReceiver::bindProblems(const std::optional<SnmpSocket::BindFailure>& ipv4,
                                   const std::optional<SnmpSocket::BindFailure>& ipv6, const Addresses& addresses,
                                   std::uint16_t port)
{
    if (ipv4)
        return bindProblem(*ipv4, addresses.ipv4, port, ipv6 ? "" : "IPv4");
    if (ipv6)
        return bindProblem(*ipv6, addresses.ipv6, port, "IPv6");
    return {};
}

QString TrapReceiver::state() const
{
    if (m_noneBound)
        return m_problem;
    const TrapQueue::Counters counters = m_queue.counters();
    std::vector<std::string> sentences;
    if (!m_problem.isEmpty())
        sentences.push_back(m_problem.toStdString());
    if (counters.dropped != 0)
        sentences.push_back(trapsLostText(counters.dropped, counters.waitingAtLastDrop));
    if (const std::uint64_t drops = bufferDrops(); drops != 0)
        sentences.push_back(trapsLostToBufferText(drops));
    if (const std::uint64_t others = unreadable(); others != 0)
        sentences.push_back(unreadableAtTrapPortText(others));
    std::string text;
    for (const std::string& sentence : sentences)
        text += (text.empty() ? "" : "\n") + sentence;
    return QString::fromStdString(text);
}

std::uint64_t TrapReceiver::unreadable() const
{
    return socketCounters().malformed + m_queue.counters().notTraps;
}

SnmpSocket::Counters TrapReceiver::socketCounters() const
{
    SnmpSocket::Counters sum;
    for (const SnmpSocket* socket : m_sockets) {
        if (!socket)
            continue;
        const SnmpSocket::Counters counters = socket->counters();
        sum.malformed += counters.malformed;
        sum.wrongSource += counters.wrongSource;
    }
    return sum;
}

} // namespace brellan
