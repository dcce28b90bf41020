// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's bookkeeping of outstanding requests, on a clock the test
// moves by hand.

#include "RequestTable.h"
#include "RttEstimator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brellan {
namespace {

using namespace std::chrono_literals;
using Match = RequestTable::Match;

const RequestTable::Clock::time_point start{};
const snmp::Oid sysName{1, 3, 6, 1, 2, 1, 1, 5, 0};

// Waits of 1 s, a request given up after 3 s, a broadcast answered for 3 s.
RequestTable::Timing timing()
{
    return {1000ms, 50ms, 1000ms, 3000ms, 3000ms};
}

RequestTable::Sent request(std::int32_t id, bool broadcast)
{
    return {id, snmp::PduType::GetRequest, sysName, 0x7F000001, {}, broadcast, {std::uint8_t(id)}};
}

TEST(RequestTable, BroadcastTakesOneAnswerPerSourceUntilItsWindowCloses)
{
    RequestTable table(timing());
    table.add(request(7, true), start);

    EXPECT_EQ(table.matchAnswer(7, 0x0A000001, sysName, start + 10ms).match, Match::New);
    EXPECT_EQ(table.matchAnswer(7, 0x0A000001, sysName, start + 20ms).match, Match::Duplicate);
    EXPECT_EQ(table.matchAnswer(7, 0x0A000002, sysName, start + 30ms).match, Match::New);

    const RequestTable::Due due = table.advanceTo(start + 3000ms);
    EXPECT_TRUE(due.resend.empty()); // never repeated
    EXPECT_TRUE(due.givenUp.empty()); // a closed window is no time-out
    EXPECT_EQ(table.matchAnswer(7, 0x0A000003, sysName, start + 3010ms).match, Match::Duplicate);
    EXPECT_TRUE(table.empty());
}

TEST(RequestTable, UnicastIsRetriedThenGivenUpAndCompletesOnItsFirstAnswer)
{
    RequestTable table(timing());
    table.add(request(1, false), start);
    table.add(request(2, false), start);
    EXPECT_EQ(table.matchAnswer(2, 0x7F000002, sysName, start + 5ms).match, Match::WrongSource);
    EXPECT_EQ(table.matchAnswer(2, 0x7F000001, sysName, start + 5ms).match, Match::New);
    EXPECT_EQ(table.matchAnswer(2, 0x7F000001, sysName, start + 6ms).match, Match::Duplicate);

    EXPECT_TRUE(table.advanceTo(start + 999ms).resend.empty());
    for (const auto at : {1000ms, 2000ms}) {
        const RequestTable::Due due = table.advanceTo(start + at);
        ASSERT_EQ(due.resend.size(), 1u) << at.count();
        EXPECT_EQ(due.resend.front().datagram, std::vector<std::uint8_t>{1}) << "request 1, unchanged";
        EXPECT_EQ(table.nextDeadline(), start + at + 1000ms);
    }
    const RequestTable::Due last = table.advanceTo(start + 3000ms);
    EXPECT_TRUE(last.resend.empty());
    ASSERT_EQ(last.givenUp.size(), 1u);
    EXPECT_EQ(last.givenUp.front().copiesSent, 3);
    EXPECT_EQ(table.matchAnswer(1, 0x7F000001, sysName, start + 3001ms).match, Match::Unknown);
    EXPECT_FALSE(table.nextDeadline());
}

TEST(RequestTable, ClearAbandonsEverything)
{
    RequestTable table(timing());
    table.add(request(1, false), start);
    table.add(request(2, true), start);
    EXPECT_EQ(table.matchAnswer(2, 1, sysName, start).match, Match::New);
    table.clear();
    EXPECT_EQ(table.matchAnswer(1, 0x7F000001, sysName, start).match, Match::Unknown);
    EXPECT_EQ(table.matchAnswer(2, 2, sysName, start).match, Match::Unknown);
    EXPECT_TRUE(table.advanceTo(start + 10s).givenUp.empty());
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
    const RequestTiming bounds{1000ms, 50ms, 1000ms};
    RttEstimator estimator(bounds);
    const std::uint32_t agent = 0x0A000001;
    EXPECT_EQ(estimator.timeout(agent), 1000ms) << "an agent not heard yet";
    for (const Step& step : steps) {
        if (step.sample > 0us)
            estimator.addSample(agent, step.sample);
        else
            estimator.noteTimeout(agent, step.timedOut);
        EXPECT_EQ(estimator.timeout(agent), step.expected) << step.what;
    }

    RttEstimator fast(bounds);
    for (int i = 0; i < 20; ++i)
        fast.addSample(agent, 300us);
    EXPECT_EQ(fast.timeout(agent), 50ms) << "a LAN round trip waits the minimum";
    EXPECT_EQ(fast.timeout(agent + 1), 1000ms) << "another agent is not affected";
}

} // namespace
} // namespace brellan
