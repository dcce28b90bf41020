// The engine's bookkeeping of outstanding requests and of queued events,
// on a clock the test moves by hand.

#include "EventQueue.h"
#include "RequestTable.h"
#include "RttEstimator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brellan {
namespace {

using namespace std::chrono_literals;
using Answer = RequestTable::Answer;

const RequestTable::Clock::time_point start{};
const snmp::Oid sysName{1, 3, 6, 1, 2, 1, 1, 5, 0};

RequestTable::Request request(std::int32_t id, bool broadcast)
{
    RequestTable::Request result;
    result.requestId = id;
    result.firstOid = sysName;
    result.broadcast = broadcast;
    result.wait = 1000ms;
    result.maximumWait = 1000ms;
    result.giveUpAt = start + (broadcast ? 0ms : 3000ms);
    result.deadline = start + (broadcast ? 3000ms : 1000ms);
    return result;
}

TEST(RequestTable, BroadcastTakesOneAnswerPerSourceUntilItsWindowCloses)
{
    RequestTable table(5000ms);
    table.add(request(7, true), start);

    EXPECT_EQ(table.classify(7, 0x0A000001, sysName).answer, Answer::New);
    table.accept(7, 0x0A000001, start + 10ms);
    EXPECT_EQ(table.classify(7, 0x0A000001, sysName).answer, Answer::Duplicate);
    EXPECT_EQ(table.classify(7, 0x0A000002, sysName).answer, Answer::New);

    const RequestTable::Due due = table.takeDue(start + 3000ms);
    EXPECT_TRUE(due.resend.empty()); // never repeated
    EXPECT_TRUE(due.givenUp.empty()); // a closed window is no time-out
    EXPECT_EQ(table.classify(7, 0x0A000002, sysName).answer, Answer::Duplicate);
    EXPECT_TRUE(table.empty());
}

TEST(RequestTable, UnicastIsRetriedThenGivenUpAndCompletesOnItsFirstAnswer)
{
    RequestTable table(3000ms);
    table.add(request(1, false), start);
    table.add(request(2, false), start);
    table.accept(2, 0x7F000001, start + 5ms);
    EXPECT_EQ(table.classify(2, 0x7F000002, sysName).answer, Answer::Duplicate);

    EXPECT_TRUE(table.takeDue(start + 999ms).resend.empty());
    for (const auto at : {1000ms, 2000ms}) {
        const RequestTable::Due due = table.takeDue(start + at);
        ASSERT_EQ(due.resend.size(), 1u) << at.count();
        EXPECT_EQ(due.resend.front().request->requestId, 1);
        EXPECT_EQ(table.nextDeadline(), start + at + 1000ms);
    }
    const RequestTable::Due last = table.takeDue(start + 3000ms);
    EXPECT_TRUE(last.resend.empty());
    ASSERT_EQ(last.givenUp.size(), 1u);
    EXPECT_EQ(last.givenUp.front().copiesSent, 3);
    EXPECT_EQ(table.classify(1, 0x7F000001, sysName).answer, Answer::Unknown);
    EXPECT_FALSE(table.nextDeadline());
}

TEST(RequestTable, ClearAbandonsEverything)
{
    RequestTable table(3000ms);
    table.add(request(1, false), start);
    table.add(request(2, true), start);
    table.accept(2, 1, start);
    table.clear();
    EXPECT_EQ(table.classify(1, 1, sysName).answer, Answer::Unknown);
    EXPECT_EQ(table.classify(2, 2, sysName).answer, Answer::Unknown);
    EXPECT_TRUE(table.takeDue(start + 10s).givenUp.empty());
}

// The first wait for a request, after each event, for one agent.
TEST(RttEstimator, LearnsEachAgentsRoundTripWithinItsBounds)
{
    struct Step {
        const char* what;
        std::chrono::microseconds sample; // or zero for a timeout after `timedOut`
        std::chrono::milliseconds timedOut;
        std::chrono::milliseconds expected;
    };
    const std::vector<Step> steps{
        {"first sample 100 ms: SRTT 100, RTTVAR 50", 100ms, 0ms, 300ms},
        {"steady 100 ms: RTTVAR 37.5", 100ms, 0ms, 250ms},
        {"steady again: RTTVAR 28.1", 100ms, 0ms, 213ms},
        {"a timeout doubles the wait that ran out", 0ms, 213ms, 426ms},
        {"and the next one again, up to the maximum", 0ms, 426ms, 852ms},
        {"a valid sample ends the back-off", 100ms, 0ms, 185ms},
        {"a 4 s sample is held to the maximum", 4000ms, 0ms, 1000ms},
    };
    RttEstimator estimator({1000ms, 50ms, 1000ms});
    const std::uint32_t agent = 0x0A000001;
    EXPECT_EQ(estimator.timeout(agent), 1000ms) << "an agent not heard yet";
    for (const Step& step : steps) {
        if (step.sample > 0us)
            estimator.addSample(agent, step.sample);
        else
            estimator.noteTimeout(agent, step.timedOut);
        EXPECT_EQ(estimator.timeout(agent), step.expected) << step.what;
    }

    RttEstimator fast({1000ms, 50ms, 1000ms});
    for (int i = 0; i < 20; ++i)
        fast.addSample(agent, 300us);
    EXPECT_EQ(fast.timeout(agent), 50ms) << "a LAN round trip waits the minimum";
    EXPECT_EQ(fast.timeout(agent + 1), 1000ms) << "another agent is not affected";
}

TEST(EventQueue, DropResponsesKeepsQueuedTrapsAndOverflowIsCounted)
{
    EventQueue queue(3);
    std::vector<std::string> delivered;
    queue.post(EventQueue::Kind::Trap, [&] {
        // While this "handler" runs, everything else waits.
        queue.post(EventQueue::Kind::Response, [&] { delivered.push_back("response"); });
        queue.post(EventQueue::Kind::Trap, [&] { delivered.push_back("trap 2"); });
        queue.post(EventQueue::Kind::Trap, [&] { delivered.push_back("trap 3"); });
        queue.post(EventQueue::Kind::Trap, [&] { delivered.push_back("lost"); });
        EXPECT_TRUE(delivered.empty());
        queue.dropResponses();
        delivered.push_back("trap 1");
    });
    EXPECT_EQ(delivered, (std::vector<std::string>{"trap 1", "trap 2", "trap 3"}));
    EXPECT_EQ(queue.overflowed(), 1u);
    EXPECT_EQ(queue.pending(), 0u);
}

} // namespace
} // namespace brellan
