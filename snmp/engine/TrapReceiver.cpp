#include "TrapReceiver.h"

#include "DatagramIo.h"
#include "Ipv4Text.h"
#include "TrapInfo.h"

#include <QVariant>

namespace brellan {

TrapReceiver::TrapReceiver(const QHostAddress& address, std::uint16_t port, QObject* parent)
    : QObject(parent), m_datagram(maxDatagramSize)
{
    // DontShareAddress: another trap receiver on the port must make this
    // bind fail rather than silently split the traps with us.
    if (!m_socket.bind(address, port, QAbstractSocket::DontShareAddress)) {
        m_problem = bindProblem(m_socket, address, port);
        qWarning("%s", qPrintable(m_problem));
        return;
    }
    // A burst of traps must wait in the kernel, not be dropped, while the
    // window is busy.
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(receiveBuffer));
    connect(&m_socket, &QUdpSocket::readyRead, this, &TrapReceiver::readPending);
}

QString TrapReceiver::bindProblem(const QUdpSocket& socket, const QHostAddress& address, std::uint16_t port)
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

std::uint16_t TrapReceiver::boundPort() const
{
    return m_socket.state() == QAbstractSocket::BoundState ? m_socket.localPort() : 0;
}

void TrapReceiver::readPending()
{
    m_readQueued = false;
    const bool more = readPass(m_socket, m_datagram, datagramsPerPass,
                               [this](std::span<const std::uint8_t> bytes, const QHostAddress& sender, quint16) {
                                   handle(bytes, sender);
                               });
    // More waiting: read them on a later pass, after the event loop has had
    // its turn, so a flood never freezes the window.
    if (more && !m_readQueued) {
        m_readQueued = true;
        QMetaObject::invokeMethod(this, &TrapReceiver::readPending, Qt::QueuedConnection);
    }
}

void TrapReceiver::handle(std::span<const std::uint8_t> bytes, const QHostAddress& sender)
{
    const std::optional<std::uint32_t> source = ipv4Source(sender);
    const snmp::Decoded<snmp::Message> message = snmp::decodeMessage(bytes);
    if (!message || !source) {
        ++m_counters.malformed;
        return;
    }
    const std::optional<snmp::TrapInfo> info = snmp::trapInfo(*message);
    if (!info) {
        ++m_counters.unmatched;
        return;
    }
    // The address the trap names for its agent, else the one it came from.
    const std::uint32_t agent = info->agentAddress ? ipv4FromOctets(*info->agentAddress) : *source;
    emit trapReceived(info->genericTrap, info->specificTrap, ipv4Text(agent));
}

} // namespace brellan
