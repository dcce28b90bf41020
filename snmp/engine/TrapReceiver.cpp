#include "TrapReceiver.h"

#include "TrapReader.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <utility>

namespace brellan {
namespace {

// Opens the latch when the receive thread leaves, however it leaves (after
// the reader, made later, is gone).
struct StoppedAtExit {
    std::latch& stopped;
    ~StoppedAtExit() { stopped.count_down(); }
};

} // namespace

TrapReceiver::TrapReceiver(const QHostAddress& address, std::uint16_t port, std::size_t capacity,
                           EventQueue& events, Deliver deliver, QObject* parent)
    : QObject(parent), m_queue(capacity), m_events(events), m_deliver(std::move(deliver))
{
    m_thread.reset(QThread::create([this, address, port] { receive(address, port); }));
    m_thread->setObjectName(QStringLiteral("trap receiver"));
    m_thread->start();
    m_bound.wait();
    if (!m_problem.isEmpty())
        qWarning("%s", qPrintable(m_problem));
    // Traps held back while a handler ran follow as soon as it returns.
    m_events.setIdleHandler([this] {
        if (std::exchange(m_waitingForIdle, false))
            scheduleDelivery();
    });
}

TrapReceiver::~TrapReceiver()
{
    m_events.setIdleHandler({});
    m_thread->quit();
    m_stopped.wait(); // the receive thread is done with this object
    m_thread->wait();
}

// The receive thread: the reader lives here from bind to stop, so its
// socket is made, used and closed on this thread alone.
void TrapReceiver::receive(const QHostAddress& address, std::uint16_t port)
{
    const StoppedAtExit stopped{m_stopped};
    TrapReader reader(address, port, m_queue);
    m_problem = reader.problem();
    m_boundPort = reader.boundPort();
    m_receiveBufferSize = reader.receiveBufferSize();
    const bool bound = m_boundPort != 0;
    if (bound) {
        m_reader = &reader;
        connect(&reader, &TrapReader::trapsWaiting, this, &TrapReceiver::deliverWaiting, Qt::QueuedConnection);
    }
    m_bound.count_down(); // from here on the fields above are the GUI thread's
    if (bound) {
        QEventLoop loop;
        loop.exec(); // until the destructor quits the thread
    }
}

QString TrapReceiver::state() const
{
    if (!m_problem.isEmpty())
        return m_problem;
    const std::uint64_t dropped = m_queue.counters().dropped;
    if (dropped == 0)
        return {};
    return QStringLiteral("%1 %2 lost: %3 faster than they could be logged, while %4 were waiting.")
        .arg(QString::number(dropped), dropped == 1 ? QStringLiteral("trap was") : QStringLiteral("traps were"),
             dropped == 1 ? QStringLiteral("it came") : QStringLiteral("they came"),
             QString::number(m_queue.capacity()));
}

void TrapReceiver::runOnReceiveThread(const std::function<void(QObject& reader)>& work)
{
    if (m_reader)
        QMetaObject::invokeMethod(m_reader, [this, &work] { work(*m_reader); }, Qt::BlockingQueuedConnection);
}

void TrapReceiver::deliverWaiting()
{
    m_deliveryScheduled = false;
    // A handler is still running (it may have opened a dialog, whose event
    // loop brought us here): its event finishes first, ours follow.
    if (m_events.busy()) {
        m_waitingForIdle = true;
        return;
    }
    QElapsedTimer slice;
    slice.start();
    bool drained = false;
    while (!drained && slice.nsecsElapsed() < sliceMicroseconds * 1000LL) {
        const std::vector<ReceivedTrap> traps = m_queue.take(trapsPerTake);
        drained = traps.size() < trapsPerTake; // the next push tells us again
        for (const ReceivedTrap& trap : traps)
            m_events.post(EventQueue::Kind::Trap, [this, trap] { m_deliver(trap); });
    }
    reportDrops();
    if (!drained)
        scheduleDelivery();
}

void TrapReceiver::scheduleDelivery()
{
    if (std::exchange(m_deliveryScheduled, true))
        return;
    QMetaObject::invokeMethod(this, &TrapReceiver::deliverWaiting, Qt::QueuedConnection);
}

void TrapReceiver::reportDrops()
{
    const std::uint64_t dropped = m_queue.counters().dropped;
    if (dropped == m_droppedReported)
        return;
    m_droppedReported = dropped;
    emit stateChanged(state());
}

} // namespace brellan
