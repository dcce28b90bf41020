// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's three commands: which component calls each makes, in which
// order, and what they do to the displayed state.
#include "ManagerFixture.h"

#include <gtest/gtest.h>

namespace brellan {
namespace {

using Calls = std::vector<std::string>;

using ManagerCommands = test::ManagerFixture;

TEST_F(ManagerCommands, FindBroadcastsSysNameWithoutReset)
{
    manager.findAgents();
    EXPECT_EQ(snmp.calls, (Calls{"VarCount=1", "VarOid(1)=1.3.6.1.2.1.1.5.0", "RemoteHost=255.255.255.255",
                                 "SendGet"}));
    EXPECT_TRUE(manager.discoveryMode);
}

TEST_F(ManagerCommands, FindClearsRowsButKeepsValuesStatusAndTraps)
{
    state.agentRows = {{"10.0.0.1", "a"}, {"10.0.0.2", "b"}};
    state.setSystemValue(SystemObject::sysContact, "ops");
    state.statusLine = "Result: x [OK]";
    state.trapLines = {"10.0.0.1 coldStart"};

    manager.findAgents();

    EXPECT_TRUE(state.agentRows.empty());
    EXPECT_EQ(state.systemValue(SystemObject::sysContact), "ops");
    EXPECT_EQ(state.statusLine, "Result: x [OK]");
    EXPECT_EQ(state.trapLines, (Calls{"10.0.0.1 coldStart"}));
}

TEST_F(ManagerCommands, FindTwiceKeepsOnlyLaterAnswersIncludingLateOnesToTheFirst)
{
    manager.findAgents();
    snmp.answer("1.3.6.1.2.1.1.5.0", "first", 0, "10.0.0.1");
    manager.findAgents();
    snmp.answer("1.3.6.1.2.1.1.5.0", "late", 0, "10.0.0.1");
    snmp.answer("1.3.6.1.2.1.1.5.0", "second", 0, "10.0.0.2");
    EXPECT_EQ(state.agentRows, (std::vector<AgentRow>{{"10.0.0.1", "late"}, {"10.0.0.2", "second"}}));
}

TEST_F(ManagerCommands, SelectClearsSearchFlagThenResetsAndGetsSysDescr)
{
    state.agentRows = {{"10.0.0.1", "a"}, {"192.0.2.9", "b"}};
    state.selectedRow = 1;
    manager.discoveryMode = true;
    bool flagAtReset = true;
    snmp.onCall = [&](const std::string& call) {
        if (call == "Reset")
            flagAtReset = manager.discoveryMode;
    };

    manager.selectAgent();

    EXPECT_FALSE(flagAtReset);
    EXPECT_EQ(snmp.calls, (Calls{"Reset", "VarCount=1", "VarOid(1)=1.3.6.1.2.1.1.1.0", "RemoteHost=192.0.2.9",
                                 "SendGet"}));
}

TEST_F(ManagerCommands, SelectKeepsEarlierValuesAndStatusUntilAnswersArrive)
{
    state.agentRows = {{"10.0.0.1", "a"}};
    state.selectedRow = 0;
    state.setSystemValue(SystemObject::sysDescr, "old agent");
    state.statusLine = "Result: old";
    manager.selectAgent();
    EXPECT_EQ(state.systemValue(SystemObject::sysDescr), "old agent");
    EXPECT_EQ(state.statusLine, "Result: old");
}

TEST_F(ManagerCommands, SelectPassesAHandTypedAddressUnchanged)
{
    state.address = " ";
    manager.addAgent();
    state.selectedRow = 0;
    manager.selectAgent();
    EXPECT_EQ(snmp.RemoteHost(), " ");
}

TEST_F(ManagerCommands, SelectWithNothingSelectedDoesNothing)
{
    manager.discoveryMode = true;
    manager.selectAgent(); // empty list
    state.agentRows = {{"10.0.0.1", "a"}};
    manager.selectAgent(); // rows, but a click on empty space
    EXPECT_TRUE(snmp.calls.empty());
    EXPECT_TRUE(manager.discoveryMode);
    EXPECT_TRUE(state.messages.empty());
}

TEST_F(ManagerCommands, SelectFailureKeepsTheChangesMadeBeforeIt)
{
    state.agentRows = {{"not an address", ""}};
    state.selectedRow = 0;
    manager.discoveryMode = true;
    snmp.failingCall = "RemoteHost=not an address";
    EXPECT_THROW(manager.selectAgent(), SnmpError);
    EXPECT_FALSE(manager.discoveryMode);
    EXPECT_EQ(snmp.calls.back(), "RemoteHost=not an address");
}

TEST_F(ManagerCommands, AddAppendsTheTypedRowAndClearsBothEntries)
{
    state.address = "10.1.2.3";
    state.name = "router";
    manager.addAgent();
    EXPECT_EQ(state.agentRows, (std::vector<AgentRow>{{"10.1.2.3", "router"}}));
    EXPECT_EQ(state.address, "");
    EXPECT_EQ(state.name, "");
    EXPECT_TRUE(snmp.calls.empty());
    EXPECT_TRUE(state.messages.empty());
}

TEST_F(ManagerCommands, AddWithEmptyAddressShowsMessageAddsNothingAndLosesTheName)
{
    state.name = "typed name";
    manager.addAgent();
    EXPECT_EQ(state.messages, (Calls{"Please Supply a valid IP Address for the manager"}));
    EXPECT_TRUE(state.agentRows.empty());
    EXPECT_EQ(state.address, "");
    EXPECT_EQ(state.name, "");
}

TEST_F(ManagerCommands, AddAcceptsASpaceAddressAnEmptyNameAndDuplicates)
{
    state.address = " ";
    manager.addAgent();
    state.address = "10.0.0.1";
    manager.addAgent();
    state.address = "10.0.0.1";
    state.name = "again";
    manager.addAgent();
    EXPECT_EQ(state.agentRows,
              (std::vector<AgentRow>{{" ", ""}, {"10.0.0.1", ""}, {"10.0.0.1", "again"}}));
    EXPECT_TRUE(state.messages.empty());
}

TEST_F(ManagerCommands, AddLeavesTheSearchFlagAlone)
{
    manager.findAgents();
    state.address = "10.0.0.1";
    manager.addAgent();
    EXPECT_TRUE(manager.discoveryMode);
}

} // namespace
} // namespace brellan
