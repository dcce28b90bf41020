// SPDX-License-Identifier: GPL-3.0-or-later
// The order the engine's events are raised in, without sockets: answers
// posted on this thread and traps waiting in the receive thread's queue.

#include "EventDelivery.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brellan {
namespace {

using namespace std::chrono_literals;

QueuedTrap trapReadAt(EventDelivery::Clock::time_point readAt, std::int32_t specific)
{
    QueuedTrap queued{readAt, {}};
    queued.trap.specificTrap = specific;
    return queued;
}

// A trap read between two answers is raised between them; an answer posted
// by a running handler, which then lets the event loop run (as a dialog
// does), waits until that handler has returned.
TEST(EventDelivery, RaisesInArrivalOrderAndNeverInsideARunningHandler)
{
    TrapQueue queue({100, 1 << 20});
    std::vector<std::string> raised;
    int running = 0;
    int mostAtOnce = 0;
    EventDelivery* delivery = nullptr;
    const auto raise = [&](const std::string& what) {
        ++running;
        mostAtOnce = std::max(mostAtOnce, running);
        raised.push_back(what);
        if (what == "answer 1") {
            delivery->raiseNowOrQueue({EventDelivery::Clock::now(), PendingNotice{"notice"}});
            QCoreApplication::processEvents();
        }
        --running;
    };
    EventDelivery events(queue, {[&](MatchedAnswer& answer) { raise("answer " + std::to_string(answer.errorStatus)); },
                                 [&](const PendingNotice& notice) { raise(notice.text); },
                                 [&](const ReceivedTrap& trap) { raise("trap " + std::to_string(trap.specificTrap)); },
                                 {}});
    delivery = &events;

    const auto start = EventDelivery::Clock::now();
    ASSERT_NE(queue.push(trapReadAt(start + 2ms, 7)), TrapQueue::Pushed::Dropped);
    events.raiseAfterThisPass({start + 1ms, MatchedAnswer{1, {}, 0}});
    events.raiseAfterThisPass({start + 3ms, MatchedAnswer{2, {}, 0}});

    ASSERT_TRUE(QTest::qWaitFor([&] { return raised.size() == 4; }, 5000)) << raised.size();
    EXPECT_EQ(raised, (std::vector<std::string>{"answer 1", "trap 7", "answer 2", "notice"}));
    EXPECT_EQ(mostAtOnce, 1);
}

} // namespace
} // namespace brellan
