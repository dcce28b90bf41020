// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SnmpSocket.h"
#include "TrapQueue.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>
#include <latch>
#include <memory>

namespace brellan {

// Receives traps on one UDP port, over IPv4 and IPv6, and hands them over.
// A thread of its own reads the two sockets, one IPv4 and one IPv6 only
// (SnmpSockets, which decode and check each datagram),
// turns each trap into a ReceivedTrap and puts it into a bounded queue, so
// traps keep being read while the GUI thread is busy: a long repaint, a
// modal dialog, a drag. It acknowledges each SNMPv2c InformRequest it
// queued with one Response, as RFC 3416 section 4.2.7 asks. The engine
// raises the traps in the queue when trapsWaiting() says there are some.
class TrapReceiver final : public QObject {
    Q_OBJECT

public:
    // The local addresses the two sockets are bound to.
    struct Addresses {
        QHostAddress ipv4;
        QHostAddress ipv6;
    };
    // Binds both sockets, asking for a receive buffer of `receiveBuffer`
    // bytes each, before it returns (problem() says why when one or both
    // failed: where IPv6 is off, IPv4 traps still arrive). The IPv6 socket
    // takes the port the IPv4 one got, should the system pick it.
    TrapReceiver(const Addresses& addresses, std::uint16_t port, int receiveBuffer, TrapQueue::Limits limits,
                 QObject* parent = nullptr);
    // Stops the receive thread, which closes the socket.
    ~TrapReceiver() override;

    // Empty while traps are received; otherwise why they are not (over
    // IPv4, IPv6 or both), and the fix.
    QString problem() const { return m_problem; }
    // What the operator is to know of the receiver: the problem, or how
    // many traps a full queue and a full receive buffer lost, and how many
    // datagrams at the port were no trap it could read; empty while all is well.
    QString state() const;
    // Datagrams the system dropped at the trap port for a full receive
    // buffer, as last seen when the socket had been read empty.
    std::uint64_t bufferDrops() const { return m_bufferDrops.load(std::memory_order_relaxed); }
    // Datagrams at the trap port that were no trap it could read: they did
    // not decode (malformed, bytes after the message, an unknown version),
    // or decoded as something else than a trap.
    // The port the sockets are bound to (0 when neither is bound).
    std::uint16_t boundPort() const { return m_boundPort; }

    TrapQueue& queue() { return m_queue; }
    const TrapQueue& queue() const { return m_queue; }
    std::uint64_t unreadable() const;
    SnmpSocket::Counters socketCounters() const;

signals:
    // Traps were put into a queue that was empty (raised on the receive
    // thread; connect with a queued connection).
    void trapsWaiting();
    // bufferDrops() or unreadable() grew (raised on the receive thread once
    // it has read the socket empty; connect with a queued connection).
    void receptionCountsChanged();

private:
    static constexpr int datagramsPerPass = 1024;

    void receive(const Addresses& addresses, std::uint16_t port, int receiveBuffer);
    void noteSocketEmptied();
    void queueTrap(SnmpSocket& socket, SnmpSocket::Received& received);
    static void acknowledge(SnmpSocket& socket, const SnmpSocket::Received& inform);
    static QString bindProblem(const SnmpSocket::BindFailure& failure, const QHostAddress& address,
                               std::uint16_t port, const std::string& family);
    static QString bindProblems(const std::optional<SnmpSocket::BindFailure>& ipv4,
                                const std::optional<SnmpSocket::BindFailure>& ipv6, const Addresses& addresses,
                                std::uint16_t port);

    TrapQueue m_queue;
    std::unique_ptr<QThread> m_thread;
    // Opened by the receive thread once bound, and once it has stopped.
    // (Standard latches rather than QThread's own waits, so that tools that
    // check threads, which cannot see inside Qt, see the hand-over too.)
    std::latch m_bound{1};
    std::latch m_stopped{1};
    // Set by the receive thread before m_bound opens, then fixed.
    QString m_problem;
    bool m_noneBound = false;
    std::uint16_t m_boundPort = 0;
    // The bound sockets (IPv4, IPv6); they live on m_thread while it runs.
    std::array<const SnmpSocket*, 2> m_sockets{};
    std::atomic<std::uint64_t> m_bufferDrops{0};
    // The counts last told of; the receive thread's alone.
    std::uint64_t m_bufferDropsTold = 0;
    std::uint64_t m_unreadableTold = 0;
};

} // namespace brellan
