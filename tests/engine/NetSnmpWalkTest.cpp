// SPDX-License-Identifier: GPL-3.0-or-later
// Walks of the system group against Net-SNMP's agent on 127.0.0.1, through
// the real engine and the real manager.

#include "EngineHarness.h"
#include "NetSnmpAgent.h"
#include "SnmpError.h"

#include <gtest/gtest.h>

namespace brellan::test {
namespace {

constexpr auto lastRetryDone = 200ms * 4; // the loopback settings' give-up time, and some

#define START_AGENT(agent)                                     \
    ASSERT_TRUE((agent).isRunning()) << (agent).error().toStdString()

TEST(NetSnmpWalk, FillsEveryFieldAndEndsOnTheFirstObjectAfterTheGroup)
{
    NetSnmpAgent agent;
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_FALSE(wired.field(SystemObject::sysDescr).empty());
    EXPECT_EQ(wired.field(SystemObject::sysObjectID), "1.3.6.1.4.1.8072.3.2.10");
    EXPECT_NE(wired.field(SystemObject::sysUpTime).find(':'), std::string::npos) << wired.field(SystemObject::sysUpTime);
    EXPECT_EQ(wired.field(SystemObject::sysContact), "Operations <noc@example.test>");
    EXPECT_EQ(wired.field(SystemObject::sysName), "brellan-test-agent");
    EXPECT_EQ(wired.field(SystemObject::sysLocation), "Test rack 7");
    EXPECT_EQ(wired.field(SystemObject::sysServices), "72");
    // One Get, then one GetNext per object of the group; the last answer
    // (sysORLastChange) ends the walk.
    const std::vector<std::string> expected{"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.1.3.0",
                                            "1.3.6.1.2.1.1.4.0", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0",
                                            "1.3.6.1.2.1.1.7.0", "1.3.6.1.2.1.1.8.0"};
    EXPECT_EQ(wired.dispatched, expected);
    settle(lastRetryDone);
    EXPECT_EQ(wired.engine.counters().requests, 8u);
    EXPECT_EQ(wired.engine.counters().timeouts, 0u);
}

TEST(NetSnmpWalk, SkipsAnObjectTheAgentDoesNotShow)
{
    NetSnmpAgent::Options options;
    options.sysContact.reset();
    NetSnmpAgent agent(options);
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));
    wired.state.systemValues[static_cast<std::size_t>(SystemObject::sysContact)] = "from an earlier agent";

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysContact), "from an earlier agent");
    EXPECT_EQ(wired.field(SystemObject::sysName), "brellan-test-agent");
    EXPECT_EQ(wired.field(SystemObject::sysServices), "72");
}

// A view of the system group alone still holds sysORLastChange, which ends
// the walk in the ordinary way.
TEST(NetSnmpWalk, SystemGroupViewEndsOnSysORLastChange)
{
    NetSnmpAgent::Options options;
    options.viewIncluded = {".1.3.6.1.2.1.1"};
    NetSnmpAgent agent(options);
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysServices), "72");
    settle(lastRetryDone);
    EXPECT_EQ(wired.engine.counters().requests, 8u);
}

// A view that ends at sysServices: the agent answers GetNext(sysServices.0)
// with noSuchName and the request echoed. The walk must stop there with
// every field intact instead of asking the same question forever.
TEST(NetSnmpWalk, ViewEndingAtSysServicesStopsTheWalkWithFieldsIntact)
{
    NetSnmpAgent::Options options;
    options.viewIncluded = {".1.3.6.1.2.1.1"};
    options.viewExcluded = {".1.3.6.1.2.1.1.8", ".1.3.6.1.2.1.1.9"};
    NetSnmpAgent agent(options);
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));

    wired.select("127.0.0.1");

    const std::string stopped = "Walk stopped: 127.0.0.1 has nothing after 1.3.6.1.2.1.1.7.0 (noSuchName)";
    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == stopped; })) << wired.state.statusLine;
    settle(lastRetryDone);
    EXPECT_EQ(wired.state.statusLine, stopped);
    EXPECT_EQ(wired.field(SystemObject::sysServices), "72");
    EXPECT_EQ(wired.field(SystemObject::sysName), "brellan-test-agent");
    EXPECT_EQ(wired.field(SystemObject::sysLocation), "Test rack 7");
    const UdpEngine::Counters counters = wired.engine.counters();
    EXPECT_EQ(counters.requests, 8u); // Get, six GetNext answered, one echoed
    EXPECT_EQ(counters.responses, 7u);
    EXPECT_EQ(counters.retries, 0u);
    EXPECT_EQ(counters.timeouts, 0u);
}

TEST(NetSnmpWalk, AgentWithAnotherCommunityIsRetriedThenGivenUp)
{
    NetSnmpAgent::Options options;
    options.community = "other1";
    NetSnmpAgent agent(options);
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.engine.counters().timeouts == 1; }));
    settle(lastRetryDone);
    const UdpEngine::Counters counters = wired.engine.counters();
    EXPECT_EQ(counters.requests, 1u);
    EXPECT_EQ(counters.retries, 2u);
    EXPECT_EQ(counters.timeouts, 1u);
    EXPECT_EQ(counters.responses, 0u);
    EXPECT_EQ(wired.state.statusLine, "No answer from 127.0.0.1 after 3 tries (community mervik)");
    for (const std::string& value : wired.state.systemValues)
        EXPECT_TRUE(value.empty()) << value;
}

TEST(NetSnmpWalk, InvalidAddressIsRefusedAndTheNextWalkWorks)
{
    NetSnmpAgent agent;
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));

    try {
        wired.select("no such agent");
        FAIL() << "a walk to \"no such agent\" was started";
    } catch (const SnmpError& error) {
        EXPECT_NE(std::string(error.what()).find("\"no such agent\""), std::string::npos) << error.what();
    }
    EXPECT_EQ(wired.engine.counters().requests, 0u);

    wired.select("127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysName), "brellan-test-agent");
}

// Over IPv6 the walk is the same: requests leave by the IPv6 request
// socket, the agent's answers from ::1 fill the fields, and silence is told
// with the address as the system writes it.
TEST(NetSnmpWalk, WalksAnAgentOverIpv6)
{
    NetSnmpAgent::Options options;
    options.alsoIpv6 = true;
    NetSnmpAgent agent(options);
    START_AGENT(agent);
    WiredManager wired(loopbackSettings(agent.port()));

    wired.select("::1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysName), "brellan-test-agent");
    EXPECT_EQ(wired.field(SystemObject::sysServices), "72");
    EXPECT_EQ(wired.dispatched.size(), 8u);
    EXPECT_EQ(wired.engine.RemoteHost(), "::1");

    // The same agent, written the long way, and then a port nobody answers on.
    wired.select("0:0:0:0:0:0:0:1");
    ASSERT_TRUE(waitFor([&] { return wired.dispatched.size() == 16; })) << wired.state.statusLine;
    UdpEngine::Settings silent = loopbackSettings(freeLoopbackUdpPort());
    WiredManager nobody(silent);
    nobody.select("::1");
    ASSERT_TRUE(waitFor([&] { return nobody.state.statusLine.starts_with("No answer"); }))
        << nobody.state.statusLine;
    EXPECT_EQ(nobody.state.statusLine, "No answer from ::1 after 3 tries (community mervik)");
    settle(lastRetryDone);
    EXPECT_EQ(wired.engine.counters().timeouts, 0u);
}

} // namespace
} // namespace brellan::test
