#include "TrapReader.h"

#include "DatagramIo.h"
#include "Ipv4Text.h"
#include "TrapInfo.h"

#include <QVariant>

namespace brellan {

TrapReader::TrapReader(const QHostAddress& address, std::uint16_t port, TrapQueue& queue)
    : m_queue(queue), m_datagram(maxDatagramSize)
{
    // DontShareAddress: another trap receiver on the port must make this
    // bind fail rather than silently split the traps with us.
    if (!m_socket.bind(address, port, QAbstractSocket::DontShareAddress)) {
        m_problem = bindProblem(m_socket, address, port);
        return;
    }
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(wantedReceiveBuffer));
    m_receiveBufferSize = m_socket.socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    m_traps.reserve(datagramsPerPass);
    connect(&m_socket, &QUdpSocket::readyRead, this, &TrapReader::readPending);
}

QString TrapReader::bindProblem(const QUdpSocket& socket, const QHostAddress& address, std::uint16_t port)
{
    const QString number = QString::number(port);
    switch (socket.error()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("Traps will not be received: UDP port %1 is in use by another program "
                              "(stop the other trap receiver and start Brellan again).")
            .arg(number);
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("Traps will not be received: UDP port %1 needs privilege "
                              "(run Brellan as root or grant it cap_net_bind_service).")
            .arg(number);
    default:
        return QStringLiteral("Traps will not be received: UDP port %1 on %2 cannot be opened (%3).")
            .arg(number, address.toString(), socket.errorString());
    }
}

std::uint16_t TrapReader::boundPort() const
{
    return m_socket.state() == QAbstractSocket::BoundState ? m_socket.localPort() : 0;
}

void TrapReader::readPending()
{
    m_readQueued = false;
    const bool more = readPass(m_socket, m_datagram, datagramsPerPass,
                               [this](std::span<const std::uint8_t> bytes, const QHostAddress& sender, quint16) {
                                   decode(bytes, sender);
                               });
    if (!m_traps.empty() || m_malformed != 0 || m_unmatched != 0) {
        if (m_queue.push(m_traps, m_malformed, m_unmatched))
            emit trapsWaiting();
        m_traps.clear();
        m_malformed = 0;
        m_unmatched = 0;
    }
    // More waiting: read on in a later pass, after this thread's event loop
    // has had its turn (to hear that it is to stop).
    if (more && !m_readQueued) {
        m_readQueued = true;
        QMetaObject::invokeMethod(this, &TrapReader::readPending, Qt::QueuedConnection);
    }
}

// Traps are taken whatever their community; what is not a trap is counted
// and dropped.
void TrapReader::decode(std::span<const std::uint8_t> bytes, const QHostAddress& sender)
{
    const std::optional<std::uint32_t> source = ipv4Source(sender);
    const snmp::Decoded<snmp::Message> message = snmp::decodeMessage(bytes);
    if (!message || !source) {
        ++m_malformed;
        return;
    }
    const std::optional<snmp::TrapInfo> info = snmp::trapInfo(*message);
    if (!info) {
        ++m_unmatched;
        return;
    }
    // The address the trap names for its agent, else the one it came from.
    const std::uint32_t agent = info->agentAddress ? ipv4FromOctets(*info->agentAddress) : *source;
    m_traps.push_back({info->genericTrap, info->specificTrap, agent});
}

} // namespace brellan
