// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DatagramQueue.h"
#include "LinuxSockets.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace brellan {

// Reads a group of sockets that share the request port on a thread of its
// own and hands what it read over through a bounded queue, so that a burst
// of answers (thousands of agents answering a search at once) is taken out
// of the system's buffers while the GUI thread is busy. The thread touches
// nothing but the sockets and the queue; what the datagrams say is the GUI
// thread's to find out.
class AnswerReader final : public QObject {
    Q_OBJECT

public:
    // Starts reading `sockets` at once.
    AnswerReader(std::unique_ptr<SharedPortSockets> sockets, DatagramQueue::Limits limits, QObject* parent = nullptr);
    // Stops the thread before the sockets close.
    ~AnswerReader() override;

    DatagramQueue& queue() { return m_queue; }
    // Datagrams lost: dropped by the system for a full receive buffer
    // (modulo 2^32), or found the queue full.
    std::uint64_t drops() const { return m_sockets->systemDrops() + m_queue.dropped(); }

signals:
    // Datagrams were put into an empty queue (raised on the reader thread;
    // connect with a queued connection). One signal for each time the
    // queue fills from empty, never one for each datagram.
    void datagramsWaiting();

private:
    void read();

    const std::unique_ptr<SharedPortSockets> m_sockets;
    DatagramQueue m_queue;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

} // namespace brellan
