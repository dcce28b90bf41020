// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnswerReader.h"

#include <vector>

namespace brellan {

AnswerReader::AnswerReader(std::unique_ptr<SharedPortSockets> sockets, DatagramQueue::Limits limits,
                           QObject* parent)
    : QObject(parent), m_sockets(std::move(sockets)), m_queue(limits), m_thread([this] { read(); })
{
}

AnswerReader::~AnswerReader()
{
    m_stopping.store(true);
    m_sockets->wake();
    m_thread.join();
}

// The reader thread: each readable socket gives a batch, and the batches go
// into the queue together, so the queue's lock is taken once a round.
void AnswerReader::read()
{
    std::vector<ReceivedDatagram> batch;
    while (true) {
        m_sockets->waitForDatagrams();
        if (m_stopping.load())
            return;
        m_sockets->readBatches(batch);
        if (m_queue.push(batch))
            emit datagramsWaiting();
    }
}

} // namespace brellan
