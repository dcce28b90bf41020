// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine accepts and what it drops, against a scripted agent on
// 127.0.0.1, through the real engine and the real manager.

#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <map>

namespace brellan::test {
namespace {

const std::string sysDescr = "1.3.6.1.2.1.1.1.0";
const std::string sysObjectID = "1.3.6.1.2.1.1.2.0";
const std::string sysORLastChange = "1.3.6.1.2.1.1.8.0";

snmp::Value oidValue(const std::string& dotted)
{
    return snmp::ObjectIdentifier{oid(dotted)};
}

snmp::Value ticks(std::uint32_t value)
{
    return snmp::TimeTicks{value};
}

bool asks(const FakeAgent::Request& request, snmp::PduType type, const std::string& dotted)
{
    return request.pdu.type == type && !request.pdu.bindings.empty()
           && request.pdu.bindings.front().oid == oid(dotted);
}

std::size_t count(const std::vector<std::string>& list, const std::string& item)
{
    return static_cast<std::size_t>(std::count(list.begin(), list.end(), item));
}

// Ends a walk: the object after sysDescr is answered as sysORLastChange.
void endWalkAfterSysDescr(FakeAgent& agent, const FakeAgent::Request& request)
{
    if (asks(request, snmp::PduType::GetNextRequest, sysDescr))
        agent.reply(request, FakeAgent::response(request, sysORLastChange, ticks(0)));
}

TEST(EngineAgainstFakeAgent, DropsEveryBadDatagramAndFilesADuplicatedAnswerOnce)
{
    FakeAgent agent;
    WiredManager wired(loopbackSettings(agent.port()));
    std::int32_t firstId = 0;
    agent.script = [&](const FakeAgent::Request& request) {
        if (asks(request, snmp::PduType::GetRequest, sysDescr) && firstId == 0) {
            firstId = request.pdu.requestId;
            const snmp::Message good = FakeAgent::response(request, sysDescr, FakeAgent::text("good agent"));
            const std::vector<std::uint8_t> goodBytes = snmp::encodeMessage(good);

            agent.replyRaw(request, {0x30, 0x03, 0x02, 0x01}); // a SEQUENCE running past the datagram
            agent.replyRaw(request, std::vector<std::uint8_t>(goodBytes.begin(),
                                                              goodBytes.begin() + goodBytes.size() / 2));
            snmp::Message wrongVersion = good;
            wrongVersion.version = snmp::versionV2c;
            agent.reply(request, wrongVersion);
            snmp::Message wrongCommunity = good;
            wrongCommunity.community = "mervil";
            agent.reply(request, wrongCommunity);
            snmp::Message wrongId = good;
            std::get<snmp::Pdu>(wrongId.pdu).requestId = request.pdu.requestId + 1000;
            agent.reply(request, wrongId);
            snmp::Message notAResponse = good;
            std::get<snmp::Pdu>(notAResponse.pdu).type = snmp::PduType::GetRequest;
            agent.reply(request, notAResponse);

            agent.replyRaw(request, goodBytes);
            agent.replyRaw(request, goodBytes);
            return;
        }
        if (asks(request, snmp::PduType::GetNextRequest, sysDescr)) {
            // The first request's id again, now stale, with another object.
            snmp::Message stale = FakeAgent::response(request, sysObjectID, oidValue("1.3.6.1.4.1.99"));
            std::get<snmp::Pdu>(stale.pdu).requestId = firstId;
            agent.reply(request, stale);
            endWalkAfterSysDescr(agent, request);
        }
    };

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(count(wired.dispatched, sysDescr), 1u);
    EXPECT_EQ(count(wired.dispatched, sysObjectID), 0u);
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "good agent");
    EXPECT_TRUE(wired.field(SystemObject::sysObjectID).empty());
    const UdpEngine::Counters counters = wired.engine.counters();
    // Cut and truncated datagrams fail to decode; the rest decode but are
    // not ours (a v2c GetResponse decodes, and is no answer to a v1 request).
    EXPECT_EQ(counters.malformed, 2u);
    EXPECT_EQ(counters.unmatched, 4u);
    EXPECT_EQ(counters.duplicates, 2u); // the second copy, and the stale id
    EXPECT_EQ(counters.responses, 2u);
}

TEST(EngineAgainstFakeAgent, ResendsAnUnansweredRequestWithTheSameId)
{
    FakeAgent agent;
    WiredManager wired(loopbackSettings(agent.port()));
    agent.script = [&](const FakeAgent::Request& request) {
        const bool firstTry = agent.requests.size() == 1;
        if (asks(request, snmp::PduType::GetRequest, sysDescr) && !firstTry)
            agent.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("after a retry")));
        endWalkAfterSysDescr(agent, request);
    };

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    ASSERT_GE(agent.requests.size(), 3u);
    EXPECT_TRUE(asks(agent.requests[1], snmp::PduType::GetRequest, sysDescr));
    EXPECT_EQ(agent.requests[1].pdu.requestId, agent.requests[0].pdu.requestId);
    EXPECT_EQ(agent.requests[1].community, "mervik");
    EXPECT_NE(agent.requests[2].pdu.requestId, agent.requests[0].pdu.requestId);
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "after a retry");
    EXPECT_EQ(wired.engine.counters().retries, 1u);
}

// The built-in timing: an agent that has not answered yet gets a request
// every second until 6 s have passed, so one behind a lossy link that loses
// the first five copies still answers the sixth, and one that never
// answers gets six copies and then nothing more.
TEST(EngineAgainstFakeAgent, BuiltInTimingSendsSixCopiesBeforeGivingUp)
{
    const UdpEngine::Settings builtIn;
    ASSERT_EQ(builtIn.timing.initialWait, 1000ms);
    ASSERT_EQ(builtIn.timing.maximumWait, 1000ms);
    ASSERT_EQ(builtIn.timing.giveUpAfter, 6000ms);

    FakeAgent lossy;
    // The built-in timing at a fifth of its pace.
    UdpEngine::Settings settings = loopbackSettings(lossy.port());
    settings.timing.initialWait = builtIn.timing.initialWait / 5;
    settings.timing.maximumWait = builtIn.timing.maximumWait / 5;
    settings.timing.giveUpAfter = builtIn.timing.giveUpAfter / 5;
    WiredManager wired(settings);
    lossy.script = [&](const FakeAgent::Request& request) {
        if (asks(request, snmp::PduType::GetRequest, sysDescr) && lossy.requests.size() == 6)
            lossy.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("sixth copy")));
        endWalkAfterSysDescr(lossy, request);
    };
    wired.select("127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "sixth copy");
    EXPECT_EQ(wired.engine.counters().retries, 5u);
    EXPECT_EQ(wired.engine.counters().timeouts, 0u);

    FakeAgent silent;
    settings.agentPort = silent.port();
    WiredManager unanswered(settings);
    unanswered.select("127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return unanswered.engine.counters().timeouts == 1; }));
    settle(settings.timing.initialWait * 2);
    EXPECT_EQ(silent.requests.size(), 6u);
    EXPECT_EQ(unanswered.engine.counters().retries, 5u);
    EXPECT_EQ(unanswered.state.statusLine, "No answer from 127.0.0.1 after 6 tries (community mervik)");
}

// An agent that answers every request after 400 ms, with the built-in
// timing: the first wait (1 s) teaches the engine its round trip, and no
// request is sent more than twice.
TEST(EngineAgainstFakeAgent, SlowAgentGetsAtMostOneExtraCopyPerRequest)
{
    FakeAgent slow;
    UdpEngine::Settings settings = loopbackSettings(slow.port());
    const UdpEngine::Settings builtIn;
    settings.timing = builtIn.timing;
    WiredManager wired(settings);
    const std::vector<std::string> group{sysDescr, sysObjectID, "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.4.0",
                                         "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0", "1.3.6.1.2.1.1.7.0",
                                         sysORLastChange};
    std::map<std::int32_t, int> copies;
    slow.script = [&](const FakeAgent::Request& request) {
        if (++copies[request.pdu.requestId] > 1)
            return; // a copy: the answer to the first is on its way
        const std::string asked = snmp::formatOid(request.pdu.bindings.front().oid);
        auto next = std::find(group.begin(), group.end(), asked);
        if (request.pdu.type == snmp::PduType::GetNextRequest && next != group.end())
            ++next;
        if (next == group.end())
            return;
        const snmp::Message answer = FakeAgent::response(request, *next, FakeAgent::text("slow " + *next));
        QTimer::singleShot(400ms, [&slow, request, answer] { slow.reply(request, answer); });
    };

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }, 20000))
        << wired.state.statusLine;
    EXPECT_EQ(copies.size(), 8u);
    for (const auto& [id, sent] : copies)
        EXPECT_LE(sent, 2) << "request " << id;
    EXPECT_EQ(wired.field(SystemObject::sysServices), "slow 1.3.6.1.2.1.1.7.0");
}

// A readiness report with nothing to read must not leave the request socket
// unwatched: the walk that follows gets every answer at the first try.
TEST(EngineAgainstFakeAgent, ReadinessReportedWithNothingWaitingDoesNotLoseAnswers)
{
    FakeAgent agent;
    WiredManager wired(loopbackSettings(agent.port()));
    agent.script = [&](const FakeAgent::Request& request) {
        if (asks(request, snmp::PduType::GetRequest, sysDescr))
            agent.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("still heard")));
        endWalkAfterSysDescr(agent, request);
    };
    ASSERT_EQ(reportReadableWhileEmpty(wired.engine), 2); // the request sockets, IPv4 and IPv6

    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "still heard");
    EXPECT_EQ(wired.engine.counters().responses, 2u);
    EXPECT_EQ(wired.engine.counters().retries, 0u);
}

TEST(EngineAgainstFakeAgent, ResetDropsALateAnswerToTheAbandonedRequest)
{
    FakeAgent agent;
    WiredManager wired(loopbackSettings(agent.port()));
    agent.script = [&](const FakeAgent::Request& request) {
        // Hold the first request; when the second arrives, answer the
        // first (now abandoned), then the second.
        if (!asks(request, snmp::PduType::GetRequest, sysDescr) || agent.requests.size() < 2)
            return endWalkAfterSysDescr(agent, request);
        const FakeAgent::Request& first = agent.requests.front();
        if (request.pdu.requestId == first.pdu.requestId)
            return; // a retry of the first
        agent.reply(first, FakeAgent::response(first, sysDescr, FakeAgent::text("abandoned")));
        agent.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("current")));
    };

    wired.select("127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return agent.requests.size() == 1; }));
    wired.select("127.0.0.1");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(count(wired.dispatched, sysDescr), 1u);
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "current");
}

// An answer to GetNext that does not move past the object asked for: the
// echo with noSuchName of an agent at the end of its view, or an agent that
// goes backwards. Either would make the walk ask forever.
TEST(EngineAgainstFakeAgent, GetNextAnswerThatDoesNotAdvanceEndsTheWalk)
{
    for (const std::string& answered : {sysObjectID, sysDescr}) {
        SCOPED_TRACE("GetNext(sysObjectID.0) answered with " + answered);
        FakeAgent agent;
        WiredManager wired(loopbackSettings(agent.port()));
        agent.script = [&](const FakeAgent::Request& request) {
            if (asks(request, snmp::PduType::GetRequest, sysDescr))
                agent.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("echo agent")));
            else if (asks(request, snmp::PduType::GetNextRequest, sysDescr))
                agent.reply(request, FakeAgent::response(request, sysObjectID, oidValue("1.3.6.1.4.1.99")));
            else if (asks(request, snmp::PduType::GetNextRequest, sysObjectID))
                agent.reply(request, FakeAgent::response(request, answered, snmp::Value{}, 2));
        };

        wired.select("127.0.0.1");

        const std::string stopped = answered == sysObjectID
                                        ? "Walk stopped: 127.0.0.1 has nothing after 1.3.6.1.2.1.1.2.0 (noSuchName)"
                                        : "Walk stopped: 127.0.0.1 went back to 1.3.6.1.2.1.1.1.0";
        ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == stopped; })) << wired.state.statusLine;
        settle(200ms * 4);
        EXPECT_EQ(wired.state.statusLine, stopped);
        EXPECT_EQ(wired.field(SystemObject::sysDescr), "echo agent");
        EXPECT_EQ(wired.field(SystemObject::sysObjectID), "1.3.6.1.4.1.99");
        EXPECT_EQ(agent.requests.size(), 3u); // no retry, no repeat
        EXPECT_EQ(wired.engine.counters().timeouts, 0u);
    }
}

// Only the address asked may answer a unicast request, from the agent port:
// an answer from another address (a spoofer that guessed the request id, or
// an agent with several addresses) is dropped, and the walk goes on with
// the real answer.
TEST(EngineAgainstFakeAgent, AnswerFromAnotherAddressIsDropped)
{
    FakeAgent agent(QHostAddress("127.0.0.2"));
    QUdpSocket otherAddress;
    ASSERT_TRUE(otherAddress.bind(QHostAddress("127.0.0.3"), agent.port()));
    WiredManager wired(loopbackSettings(agent.port()));
    agent.script = [&](const FakeAgent::Request& request) {
        if (!asks(request, snmp::PduType::GetRequest, sysDescr))
            return endWalkAfterSysDescr(agent, request);
        const std::vector<std::uint8_t> forged =
            snmp::encodeMessage(FakeAgent::response(request, sysDescr, FakeAgent::text("forged")));
        otherAddress.writeDatagram(reinterpret_cast<const char*>(forged.data()), static_cast<qint64>(forged.size()),
                                   request.from, request.port);
        agent.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("real")));
    };

    wired.select("127.0.0.2");

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "real");
    EXPECT_EQ(wired.engine.counters().wrongSource, 1u);
    EXPECT_EQ(wired.engine.counters().retries, 0u);
}

// A host name (here "localhost", from the hosts file; never an outside
// resolver) is looked up without blocking, and the walk goes to its IPv4
// address. A new selection while a lookup is under way abandons it: nothing
// is sent to the name that was left.
TEST(EngineAgainstFakeAgent, HostNameIsLookedUpAndResetAbandonsALookupUnderWay)
{
    FakeAgent agent;
    WiredManager wired(loopbackSettings(agent.port()));
    agent.script = [&](const FakeAgent::Request& request) {
        if (asks(request, snmp::PduType::GetRequest, sysDescr))
            agent.reply(request, FakeAgent::response(request, sysDescr, FakeAgent::text("by name")));
        endWalkAfterSysDescr(agent, request);
    };

    wired.select(" localhost ");
    wired.engine.Reset(); // before the resolver has answered
    settle(300ms);
    EXPECT_TRUE(agent.requests.empty());
    EXPECT_EQ(wired.engine.counters().requests, 0u);

    wired.select("localhost");
    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }))
        << wired.state.statusLine;
    EXPECT_EQ(wired.field(SystemObject::sysDescr), "by name");
    EXPECT_EQ(wired.engine.RemoteHost(), "localhost");
    EXPECT_EQ(agent.requests.size(), 2u);
}

} // namespace
} // namespace brellan::test
