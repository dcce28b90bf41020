#pragma once

#include "EventQueue.h"
#include "TrapQueue.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QThread>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <latch>
#include <memory>

namespace brellan {

class TrapReader;

// Receives traps on one UDP port. A thread of its own drains the socket
// (TrapReader) into a bounded queue, so traps keep being read while the
// GUI thread is busy: a long repaint, a modal dialog, a drag. On the GUI
// thread the queued traps are delivered one at a time, in arrival order,
// through the engine's EventQueue, in slices that leave the event loop its
// turns; never while another event's handler runs.
class TrapReceiver final : public QObject {
    Q_OBJECT

public:
    using Deliver = std::function<void(const ReceivedTrap&)>;

    // Binds before it returns (problem() says why when that failed).
    // `capacity` bounds the traps waiting; `deliver` raises one of them.
    TrapReceiver(const QHostAddress& address, std::uint16_t port, std::size_t capacity, EventQueue& events,
                 Deliver deliver, QObject* parent = nullptr);
    // Stops the receive thread, which closes the socket.
    ~TrapReceiver() override;

    // Empty while traps are received; otherwise why they are not, and the fix.
    QString problem() const { return m_problem; }
    // What the operator is to know of the receiver: the problem, or how
    // many traps a full queue dropped; empty while all is well.
    QString state() const;
    // The port the socket is bound to (0 when it is not bound).
    std::uint16_t boundPort() const { return m_boundPort; }
    // The receive buffer the system granted, in bytes (0 when not bound).
    int receiveBufferSize() const { return m_receiveBufferSize; }
    TrapQueue::Counters counters() const { return m_queue.counters(); }

    // Runs `work` on the receive thread, given the reader (whose children
    // are the socket's objects), and returns when it has run; nothing runs
    // when the socket is not bound. For tests that reach into the socket.
    void runOnReceiveThread(const std::function<void(QObject& reader)>& work);

signals:
    void stateChanged(const QString& state);

private:
    // Traps taken from the queue at a time, and the longest the GUI thread
    // delivers before it lets the event loop run again.
    static constexpr std::size_t trapsPerTake = 512;
    static constexpr int sliceMicroseconds = 5000;

    void receive(const QHostAddress& address, std::uint16_t port);
    void deliverWaiting();
    void scheduleDelivery();
    void reportDrops();

    TrapQueue m_queue;
    EventQueue& m_events;
    Deliver m_deliver;
    std::unique_ptr<QThread> m_thread;
    // Opened by the receive thread once bound, and once it has stopped.
    // (Standard latches rather than QThread's own waits, so that tools that
    // check threads, which cannot see inside Qt, see the hand-over too.)
    std::latch m_bound{1};
    std::latch m_stopped{1};
    // Set by the receive thread before m_bound opens, then fixed.
    QString m_problem;
    std::uint16_t m_boundPort = 0;
    int m_receiveBufferSize = 0;
    TrapReader* m_reader = nullptr; // lives on m_thread, while it runs
    bool m_deliveryScheduled = false;
    bool m_waitingForIdle = false;
    std::uint64_t m_droppedReported = 0;
};

} // namespace brellan
