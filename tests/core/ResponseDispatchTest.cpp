// SPDX-License-Identifier: GPL-3.0-or-later
// The response dispatcher: discovery rows, the walk of the system group,
// and the status line.
#include "ManagerFixture.h"

#include <gtest/gtest.h>

#include <utility>

namespace brellan {
namespace {

using Calls = std::vector<std::string>;

class ResponseDispatch : public test::ManagerFixture {
protected:

    // Answers the last request as an agent holding `objects` would, one
    // GetRequest or GetNextRequest at a time, until nothing more is sent.
    int walk(const std::vector<std::pair<std::string, std::string>>& objects, const std::string& from)
    {
        int answered = 0;
        std::string asked = snmp.oids.at(1);
        bool getNext = false;
        for (int guard = 0; guard < 50; ++guard) {
            std::size_t i = 0;
            while (i < objects.size() && objects[i].first != asked)
                ++i;
            if (getNext)
                ++i; // the agent's next object (the list is in OID order)
            if (i >= objects.size())
                break;
            snmp.calls.clear();
            snmp.answer(objects[i].first, objects[i].second, 0, from);
            ++answered;
            if (snmp.commands() != Calls{"SendGetNext"})
                break;
            asked = objects[i].first;
            getNext = true;
        }
        return answered;
    }
};

const std::vector<std::pair<std::string, std::string>> fullAgent = {
    {"1.3.6.1.2.1.1.1.0", "Linux box 6.1"},
    {"1.3.6.1.2.1.1.2.0", "1.3.6.1.4.1.8072.3.2.10"},
    {"1.3.6.1.2.1.1.3.0", "0 days, 00:01:00.00 (6000)"},
    {"1.3.6.1.2.1.1.4.0", "ops@example.net"},
    {"1.3.6.1.2.1.1.5.0", "core-sw"},
    {"1.3.6.1.2.1.1.6.0", "Rack 4"},
    {"1.3.6.1.2.1.1.7.0", "72"},
    {"1.3.6.1.2.1.1.8.0", "0 days, 00:00:01.00 (100)"},
};

TEST_F(ResponseDispatch, SelectionWalksTheWholeGroupAndStopsOutsideIt)
{
    state.agentRows = {{"10.0.0.5", "core-sw"}};
    state.selectedRow = 0;
    manager.selectAgent();

    EXPECT_EQ(walk(fullAgent, "10.0.0.5"), 8);

    for (int i = 0; i < systemObjectCount; ++i)
        EXPECT_EQ(state.systemValues[static_cast<std::size_t>(i)], fullAgent[static_cast<std::size_t>(i)].second);
    EXPECT_EQ(state.statusLine, "Result: 1.3.6.1.2.1.1.8.0 [OK]");
    EXPECT_TRUE(snmp.commands().empty()); // the unmatched answer sends nothing
    EXPECT_EQ(state.agentRows.size(), 1U);
}

TEST_F(ResponseDispatch, AgentWithoutSysContactLeavesThatFieldAsItWas)
{
    auto agent = fullAgent;
    agent.erase(agent.begin() + 3);
    state.setSystemValue(SystemObject::sysContact, "from an earlier agent");
    state.agentRows = {{"10.0.0.6", ""}};
    state.selectedRow = 0;
    manager.selectAgent();

    EXPECT_EQ(walk(agent, "10.0.0.6"), 7);
    EXPECT_EQ(state.systemValue(SystemObject::sysContact), "from an earlier agent");
    EXPECT_EQ(state.systemValue(SystemObject::sysName), "core-sw");
    EXPECT_EQ(state.systemValue(SystemObject::sysServices), "72");
}

TEST_F(ResponseDispatch, EachInTableAnswerFillsItsFieldAndSendsOneGetNext)
{
    snmp.answer("1.3.6.1.2.1.1.3.0", "ticks", 0, "10.0.0.5");
    EXPECT_EQ(snmp.commands(), Calls{"SendGetNext"});
    EXPECT_EQ(state.systemValue(SystemObject::sysUpTime), "ticks");
    EXPECT_EQ(state.statusLine, "Result: 1.3.6.1.2.1.1.3.0 [OK]");
}

TEST_F(ResponseDispatch, DiscoveryAnswersBecomeRowsInArrivalOrderWithoutGetNext)
{
    manager.findAgents();
    snmp.calls.clear();
    snmp.answer("1.3.6.1.2.1.1.5.0", "beta", 0, "10.0.0.9");
    snmp.answer("1.3.6.1.2.1.1.5.0", "alpha", 0, "10.0.0.2");
    snmp.answer("1.3.6.1.2.1.1.5.0", "beta", 0, "10.0.0.9");

    EXPECT_EQ(state.agentRows,
              (std::vector<AgentRow>{{"10.0.0.9", "beta"}, {"10.0.0.2", "alpha"}, {"10.0.0.9", "beta"}}));
    EXPECT_TRUE(snmp.commands().empty());
    EXPECT_EQ(state.systemValue(SystemObject::sysName), "");
    EXPECT_EQ(state.statusLine, "Result: 1.3.6.1.2.1.1.5.0 [OK]");
}

TEST_F(ResponseDispatch, SysNameOutsideASearchFillsTheFieldAndContinues)
{
    snmp.answer("1.3.6.1.2.1.1.5.0", "core-sw", 0, "10.0.0.5");
    EXPECT_TRUE(state.agentRows.empty());
    EXPECT_EQ(state.systemValue(SystemObject::sysName), "core-sw");
    EXPECT_EQ(snmp.commands(), Calls{"SendGetNext"});
}

TEST_F(ResponseDispatch, LateWalkAnswerDuringASearchContinuesTowardTheBroadcast)
{
    manager.findAgents();
    snmp.calls.clear();
    snmp.answer("1.3.6.1.2.1.1.4.0", "ops", 0, "10.0.0.5");
    EXPECT_EQ(state.systemValue(SystemObject::sysContact), "ops");
    EXPECT_EQ(snmp.commands(), Calls{"SendGetNext"});
    EXPECT_EQ(snmp.RemoteHost(), "255.255.255.255");
}

TEST_F(ResponseDispatch, ErrorStatusChangesOnlyTheStatusLine)
{
    snmp.answer("1.3.6.1.2.1.1.1.0", "", 2, "10.0.0.5");
    EXPECT_EQ(state.statusLine, "Result: 1.3.6.1.2.1.1.1.0 [ERROR: noSuchName (2)]");
    EXPECT_EQ(state.systemValue(SystemObject::sysDescr), "");
    EXPECT_EQ(snmp.commands(), Calls{"SendGetNext"});
}

TEST_F(ResponseDispatch, StatusTextForEveryCode)
{
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {0, "[OK]"},
        {1, "[ERROR: tooBig (1)]"},
        {2, "[ERROR: noSuchName (2)]"},
        {3, "[ERROR: badValue (3)]"},
        {4, "[ERROR: readOnly (4)]"},
        {5, "[ERROR: genError (5)]"},
        {6, "[ERROR: unknown code (6)]"},
        {-1, "[ERROR: unknown code (-1)]"},
        {70000, "[ERROR: unknown code (70000)]"},
        {-2147483647 - 1, "[ERROR: unknown code (-2147483648)]"},
    };
    for (const auto& [code, text] : cases) {
        snmp.answer("1.3.6.1.2.1.1.9.1.2.1", "x", code, "10.0.0.5");
        EXPECT_EQ(state.statusLine, "Result: 1.3.6.1.2.1.1.9.1.2.1 " + text) << code;
    }
}

TEST_F(ResponseDispatch, NearMissObjectIdentifiersMatchNothingAndEndTheWalk)
{
    for (const std::string oid : {"1.3.6.1.2.1.1.8.0", "1.3.6.1.2.1.1.1.0 ", "1.3.6.1.2.1.1.1", " 1.3.6.1.2.1.1.1.0",
                                  "1.3.6.1.2.1.1.01.0", ""}) {
        snmp.calls.clear();
        snmp.answer(oid, "value", 0, "10.0.0.5");
        EXPECT_TRUE(snmp.commands().empty()) << '"' << oid << '"';
        EXPECT_EQ(state.statusLine, "Result: " + oid + " [OK]");
    }
    for (const std::string& value : state.systemValues)
        EXPECT_EQ(value, "");
}

TEST_F(ResponseDispatch, FailureWhileFilingKeepsTheStatusLine)
{
    snmp.failingCall = "VarValue(1)?";
    EXPECT_THROW(snmp.answer("1.3.6.1.2.1.1.6.0", "Rack 4", 0, "10.0.0.5"), SnmpError);
    EXPECT_EQ(state.statusLine, "Result: 1.3.6.1.2.1.1.6.0 [OK]");
    EXPECT_EQ(state.systemValue(SystemObject::sysLocation), "");
    EXPECT_TRUE(snmp.commands().empty());
}

} // namespace
} // namespace brellan
