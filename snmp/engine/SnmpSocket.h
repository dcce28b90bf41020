// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AnswerReader.h"
#include "InetAddress.h"
#include "Message.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brellan {

// One of the engine's UDP sockets, and the road every datagram it receives
// takes: read, decode, check the sender, hand on. The request socket uses it
// on the GUI thread and the trap socket on the trap receiver's thread; each
// lives, reads and sends on one thread only. What does not decode or comes
// from the wrong place is counted and dropped here, and never handed on.
// Bound as a group of sockets sharing a port (bindSharedPort), it is read
// by a thread of its own (AnswerReader), and its passes take what that
// thread read, as many as they would read, down the same road.
class SnmpSocket final : public QObject {
    Q_OBJECT

public:
    // A datagram that decoded, with its sender. Valid only during the
    // handler's call; the handler may move what it keeps out of `message`.
    struct Received {
        snmp::Message& message;
        std::span<const std::uint8_t> bytes; // the datagram as it came
        snmp::InetAddress source;              // an IPv4-mapped sender as IPv4
        std::uint16_t sourcePort;
        bool firstOfPass;                    // no datagram was read before it in this pass
    };
    using Handler = std::function<void(Received& received)>;

    // Counted on the socket's thread, read from any.
    struct Counters {
        std::uint64_t malformed = 0;   // failed to decode
        std::uint64_t wrongSource = 0; // from another port than the one required
    };

    // `datagramsPerPass` bounds the datagrams read before the event loop
    // has its turn again; `handle` is called with each one that decoded.
    SnmpSocket(int datagramsPerPass, Handler handle, QObject* parent = nullptr);

    struct BindFailure {
        QAbstractSocket::SocketError error;
        QString text;
    };
    // The receive buffer bind() asks the system for: as large as it allows
    // by default, so that a burst (answers to a broadcast, a flood of traps)
    // waits in the system rather than being lost while the thread is busy.
    static constexpr int defaultReceiveBuffer = 64 * 1024 * 1024;
    void setReceiveBufferSize(int bytes) { m_receiveBuffer = bytes; }
    // Binds, and asks for the receive buffer. Returns why the socket could
    // not be bound, or nothing.
    std::optional<BindFailure> bind(const QHostAddress& address, std::uint16_t port,
                                    QAbstractSocket::BindMode mode = QAbstractSocket::DefaultForPlatform);
    // Binds a group of `sockets` sockets sharing one port the system
    // chooses, on every IPv4 address, each asking for the receive buffer,
    // read by a thread of their own; sends go out of the first. False, and
    // nothing bound, where the system offers no such group.
    bool bindSharedPort(int sockets);
    // The port the socket is bound to (0 when it is not bound).
    std::uint16_t boundPort() const;
    // How many datagrams a pass reads at most.
    void setDatagramsPerPass(int datagrams) { m_datagramsPerPass = datagrams; }
    // Only datagrams from this source port are handed on (agents answer
    // from the agent port).
    void acceptOnlyFromPort(std::uint16_t port) { m_requiredPort = port; }

    // Sends `datagram` to `address`:`port`, out of interface
    // `interfaceIndex` when one is given. Returns nothing when the system
    // took it, otherwise why it refused it ("Network is unreachable", ...).
    std::optional<std::string> send(std::span<const std::uint8_t> datagram, const QHostAddress& address,
                                    std::uint16_t port, std::optional<int> interfaceIndex = std::nullopt);

    // Reads what waits now, at most about `most` datagrams, in passes with no
    // turn of the event loop between them: what came before a moment that
    // ends a wait (a search's window closing) is counted before it ends.
    void readWaiting(int most);

    // Called on the socket's thread when a pass has found nothing more
    // waiting: whatever the system dropped meanwhile, it has dropped by now.
    void whenEmptied(std::function<void()> emptied) { m_emptied = std::move(emptied); }
    // Datagrams the system dropped on this socket since it was bound, for a
    // full receive buffer (LinuxSockets.h), and for a group those the
    // reader's queue had no room for; nothing where the system does not
    // tell. On the socket's thread.
    std::optional<std::uint64_t> systemDrops() const;

    Counters counters() const;

    // Room for the largest UDP payload over IPv4 (IPv6 without jumbograms
    // allows 20 octets more, which no SNMP message needs).
    static constexpr std::size_t maxDatagramSize = 65507;

private:
    void readPass();
    // One pass; true when it read its worth, so that more may be waiting.
    bool onePass();
    bool readFromSocket();
    bool takeFromReader();
    void handleDatagram(std::span<const std::uint8_t> bytes, const QHostAddress& sender, std::uint16_t senderPort,
                        bool firstOfPass);
    std::string refusal(int error) const;

    QUdpSocket m_socket{this};
    Handler m_handle;
    std::function<void()> m_emptied;
    int m_datagramsPerPass;
    int m_receiveBuffer = defaultReceiveBuffer;
    std::optional<std::uint16_t> m_requiredPort;
    std::vector<std::uint8_t> m_buffer;
    std::unique_ptr<AnswerReader> m_reader; // when bound as a group
    std::vector<ReceivedDatagram> m_taken;  // a pass's worth, from the reader's queue
    bool m_readQueued = false;
    std::atomic<std::uint64_t> m_malformed{0};
    std::atomic<std::uint64_t> m_wrongSource{0};
};

} // namespace brellan
