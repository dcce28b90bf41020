#pragma once

#include "TrapQueue.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include <cstdint>
#include <span>
#include <vector>

namespace brellan {

// The receive thread's one object: it owns the trap socket, drains it in
// passes, decodes each datagram and puts the traps into the queue. It
// touches nothing but its socket, its buffers and the queue.
class TrapReader final : public QObject {
    Q_OBJECT

public:
    // Binds at once; problem() says why when that failed.
    TrapReader(const QHostAddress& address, std::uint16_t port, TrapQueue& queue);

    QString problem() const { return m_problem; }
    // The port the socket is bound to (0 when it is not bound).
    std::uint16_t boundPort() const;
    // The receive buffer the system granted, in bytes (0 when not bound).
    int receiveBufferSize() const { return m_receiveBufferSize; }

signals:
    // Traps were put into a queue that was empty.
    void trapsWaiting();

private:
    static constexpr int datagramsPerPass = 1024;
    // Asked of the system, which grants what it allows (on Linux up to
    // net.core.rmem_max): the more it holds, the longer the thread may
    // be kept from running without a trap being lost.
    static constexpr int wantedReceiveBuffer = 64 * 1024 * 1024;

    static QString bindProblem(const QUdpSocket& socket, const QHostAddress& address, std::uint16_t port);
    void readPending();
    void decode(std::span<const std::uint8_t> bytes, const QHostAddress& sender);

    TrapQueue& m_queue;
    QUdpSocket m_socket{this};
    QString m_problem;
    int m_receiveBufferSize = 0;
    bool m_readQueued = false;
    std::vector<std::uint8_t> m_datagram;
    // One pass's harvest, handed to the queue at the end of the pass.
    std::vector<ReceivedTrap> m_traps;
    std::uint64_t m_malformed = 0;
    std::uint64_t m_unmatched = 0;
};

} // namespace brellan
