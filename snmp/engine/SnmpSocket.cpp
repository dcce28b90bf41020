// SPDX-License-Identifier: GPL-3.0-or-later
#include "SnmpSocket.h"

#include "LinuxSockets.h"
#include "QtAddress.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QVariant>

#include <cerrno>
#include <system_error>

namespace brellan {
namespace {

// What a group's reader may hold for the GUI thread, at most: several
// times what the group's buffers hold at Debian's default limit (about 512
// answers each), and a bound on memory however large the datagrams are.
constexpr DatagramQueue::Limits readerQueueLimits{65536, 32 * 1024 * 1024};

// "QT_LOGGING_RULES=brellan.snmp.dropped=true" shows why each dropped
// datagram was dropped.
Q_LOGGING_CATEGORY(droppedDatagrams, "brellan.snmp.dropped", QtWarningMsg)

} // namespace

SnmpSocket::SnmpSocket(int datagramsPerPass, Handler handle, QObject* parent)
    : QObject(parent), m_handle(std::move(handle)), m_datagramsPerPass(datagramsPerPass), m_buffer(maxDatagramSize)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &SnmpSocket::readPass);
}

std::optional<SnmpSocket::BindFailure> SnmpSocket::bind(const QHostAddress& address, std::uint16_t port,
                                                        QAbstractSocket::BindMode mode)
{
    if (!m_socket.bind(address, port, mode))
        return BindFailure{m_socket.error(), m_socket.errorString()};
    // The system grants what it allows (on Linux up to net.core.rmem_max).
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(m_receiveBuffer));
    return std::nullopt;
}

bool SnmpSocket::bindSharedPort(int sockets)
{
    std::unique_ptr<SharedPortSockets> group = SharedPortSockets::open(sockets, m_receiveBuffer);
    const qintptr sender = group ? group->duplicateSender() : -1;
    if (sender < 0)
        return false;
    if (!m_socket.setSocketDescriptor(sender, QAbstractSocket::BoundState)) {
        SharedPortSockets::closeDescriptor(sender);
        return false;
    }
    // The reader thread reads the sender's socket too: the system never
    // sees this object read it, so the event loop stops watching it.
    disconnect(&m_socket, &QUdpSocket::readyRead, this, &SnmpSocket::readPass);
    m_reader = std::make_unique<AnswerReader>(std::move(group), readerQueueLimits);
    connect(m_reader.get(), &AnswerReader::datagramsWaiting, this, &SnmpSocket::readPass, Qt::QueuedConnection);
    return true;
}

std::uint16_t SnmpSocket::boundPort() const
{
    return m_socket.state() == QAbstractSocket::BoundState ? m_socket.localPort() : 0;
}

// Reads the datagrams waiting, at most a pass's worth, each with one system
// call that both sizes and reads it (or, for a group, takes them from what
// its reader thread read). A pass stops at the first read that finds
// nothing, or once it has read its worth: more waiting then are read in the
// next pass, after the event loop's turn.
//
// A pass always ends with a read, never with a mere look: the event loop may
// report the socket readable when nothing waits (Qt's GLib event dispatcher
// does so during a burst, from a readiness it saw before the datagrams were
// read). QUdpSocket then takes a datagram to be waiting and unread, and on
// its next notification stops watching the socket for good, until the
// program reads from it; every read, even one that finds nothing, clears
// that belief.
void SnmpSocket::readPass()
{
    m_readQueued = false;
    if (!onePass())
        return;
    // More may be waiting: read them in a later pass, after the event loop
    // has had its turn, so that a flood never freezes the thread.
    if (!std::exchange(m_readQueued, true))
        QMetaObject::invokeMethod(this, &SnmpSocket::readPass, Qt::QueuedConnection);
}

void SnmpSocket::readWaiting(int most)
{
    for (int read = 0; read < most && onePass(); read += m_datagramsPerPass) {
    }
}

bool SnmpSocket::onePass()
{
    const bool more = m_reader ? takeFromReader() : readFromSocket();
    if (!more && m_emptied)
        m_emptied();
    return more;
}

bool SnmpSocket::readFromSocket()
{
    QHostAddress sender;
    quint16 senderPort = 0;
    for (int read = 0; read < m_datagramsPerPass; ++read) {
        const qint64 size = m_socket.readDatagram(reinterpret_cast<char*>(m_buffer.data()),
                                                  static_cast<qint64>(m_buffer.size()), &sender, &senderPort);
        if (size < 0)
            return false;
        handleDatagram(std::span<const std::uint8_t>(m_buffer.data(), static_cast<std::size_t>(size)), sender,
                       senderPort, read == 0);
    }
    return true;
}

// What the reader thread read goes down the same road as a datagram read here.
bool SnmpSocket::takeFromReader()
{
    m_taken.clear();
    const auto worth = static_cast<std::size_t>(m_datagramsPerPass);
    m_reader->queue().takeOldest(m_taken, worth);
    for (std::size_t i = 0; i < m_taken.size(); ++i)
        handleDatagram(m_taken[i].bytes, QHostAddress(m_taken[i].address), m_taken[i].port, i == 0);
    return m_taken.size() == worth;
}

void SnmpSocket::handleDatagram(std::span<const std::uint8_t> bytes, const QHostAddress& sender,
                                std::uint16_t senderPort, bool firstOfPass)
{
    if (m_requiredPort && senderPort != *m_requiredPort) {
        m_wrongSource.fetch_add(1, std::memory_order_relaxed);
        qCDebug(droppedDatagrams, "Dropped a datagram from %s:%u: not from port %u",
                qPrintable(sender.toString()), senderPort, *m_requiredPort);
        return;
    }
    snmp::Decoded<snmp::Message> message = snmp::decodeMessage(bytes);
    if (!message) {
        m_malformed.fetch_add(1, std::memory_order_relaxed);
        qCDebug(droppedDatagrams, "Dropped a datagram from %s:%u: %s at byte %zu", qPrintable(sender.toString()),
                senderPort, snmp::decodeErrorText(message.failure().reason), message.failure().offset);
        return;
    }
    Received received{*message, bytes, fromQtAddress(sender), senderPort, firstOfPass};
    m_handle(received);
}

std::optional<std::string> SnmpSocket::send(std::span<const std::uint8_t> datagram, const QHostAddress& address,
                                            std::uint16_t port, std::optional<int> interfaceIndex)
{
    const auto* data = reinterpret_cast<const char*>(datagram.data());
    const auto size = static_cast<qsizetype>(datagram.size());
    errno = 0;
    qint64 written = 0;
    if (interfaceIndex) {
        QNetworkDatagram out(QByteArray::fromRawData(data, size), address, port);
        out.setInterfaceIndex(static_cast<uint>(*interfaceIndex));
        written = m_socket.writeDatagram(out);
    } else {
        written = m_socket.writeDatagram(data, size, address, port);
    }
    if (written >= 0)
        return std::nullopt;
    return refusal(errno);
}

// Why the system refused a datagram. Qt reports most send failures only as
// "Unable to send a message"; the C library's errno, still set right after
// the failed call, names the reason ("Network is unreachable", ...).
std::string SnmpSocket::refusal(int error) const
{
    const std::string qtText = m_socket.errorString().toStdString();
    if (error == 0)
        return qtText;
    const std::string systemText = std::generic_category().message(error);
    return systemText == qtText ? qtText : systemText + " (" + qtText + ")";
}

std::optional<std::uint64_t> SnmpSocket::systemDrops() const
{
    if (m_reader)
        return m_reader->drops();
    return systemDropCount(m_socket.socketDescriptor());
}

SnmpSocket::Counters SnmpSocket::counters() const
{
    return {m_malformed.load(std::memory_order_relaxed), m_wrongSource.load(std::memory_order_relaxed)};
}

} // namespace brellan
