// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's scenarios on the private test LAN that test_lan.sh builds:
// a search by broadcast over two segments, walks of real agents (one that
// hides sysContact, one whose view ends with the system group), traps from
// two agents, a walk through a lossy link, a search over 50 agents, agents
// by name, and an agent and its traps over IPv6.
// Runs only inside the LAN's manager namespace (main.cpp checks).

#include "LanFixture.h"

#include <numeric>

namespace brellan::lan {
namespace {

// Scenario 1: one click on Find Agents lists exactly the agents that answer
// community mervik, from both segments, once each, with their own names.
TEST_F(TestLan, FindAgentsListsEachAnsweringAgentOfBothSegmentsOnce)
{
    findAllAgents();

    std::map<QString, QString> expected;
    for (const LanAgent* agent : s_lan->answering())
        expected[agent->address] = agent->sysName;
    std::map<QString, QString> shown;
    std::map<QString, int> times;
    for (const Operator::Row& row : op->rows()) {
        shown[row.address] = row.name;
        ++times[row.address];
    }
    EXPECT_EQ(shown, expected);
    for (const auto& [address, count] : times)
        EXPECT_EQ(count, 1) << address.toStdString() << " is listed " << count << " times";
    EXPECT_FALSE(shown.contains(agent("other-community").address)) << "an agent of another community is listed";
    const auto onSegment = [&](const char* prefix) {
        return std::count_if(shown.begin(), shown.end(), [&](const auto& row) { return row.first.startsWith(prefix); });
    };
    EXPECT_GT(onSegment("10.202.1."), 0);
    EXPECT_GT(onSegment("10.202.2."), 0);
    // The broadcast's window has closed: the status line says how many
    // answered, and with which community (the agent of another one is silent).
    EXPECT_EQ(op->status(), QStringLiteral("Search done: %1 agents answered (community mervik)").arg(expected.size()));
    EXPECT_EQ(op->engine().counters().requests, 1u) << "a search is one broadcast, answered without follow-ups";
}

// Scenario 2: selecting a row walks that agent's system group; an agent that
// hides sysContact leaves that field alone; an agent whose view ends with
// the group fills all seven and is asked nothing after its noSuchName.
TEST_F(TestLan, SelectingARowWalksThatAgentsSystemGroup)
{
    findAllAgents();
    const LanAgent& ordinary = agent("ordinary", 1); // on segment 2
    const LanAgent& hidden = agent("hidden-contact");
    const LanAgent& systemOnly = agent("system-only");

    {
        SCOPED_TRACE("an ordinary agent");
        ASSERT_TRUE(walk(ordinary, 8)); // sysDescr .. sysServices, then sysORLastChange
        expectValuesOf(ordinary);
        EXPECT_EQ(op->status(), afterSystemGroup);
    }
    {
        SCOPED_TRACE("the agent that hides sysContact");
        ASSERT_TRUE(walk(hidden, 7));
        expectValuesOf(hidden, {Contact});
        EXPECT_EQ(op->systemValues()[Contact], ordinary.sysContact) << "sysContact of the agent before stays";
        EXPECT_EQ(op->status(), afterSystemGroup);
    }
    {
        SCOPED_TRACE("the agent whose view ends with the system group");
        AgentHost host(systemOnly.ns);
        ASSERT_TRUE(host.installSnmpFilter(0)) << host.error().toStdString();
        const UdpEngine::Counters before = op->engine().counters();
        ASSERT_TRUE(walk(systemOnly, 7));
        // Longer than a retry interval and a retry: anything still to be
        // sent after the noSuchName answer would have gone by now.
        Operator::settle(2500);
        const UdpEngine::Counters after = op->engine().counters();
        expectValuesOf(systemOnly);
        EXPECT_EQ(op->status(), "Walk stopped: " + systemOnly.address + " has nothing after 1.3.6.1.2.1.1.7.0 (noSuchName)");
        EXPECT_EQ(after.requests - before.requests, 8u) << "sysDescr .. sysServices and one GetNext past them";
        EXPECT_EQ(after.retries - before.retries, 0u);
        const std::optional<AgentHost::FilterCounts> counts = host.snmpFilterCounts();
        ASSERT_TRUE(counts) << host.error().toStdString();
        EXPECT_EQ(counts->passed, 8u) << "datagrams the agent received";
        host.removeSnmpFilter();
    }
}

// Scenario 3: traps of every generic code and an enterprise-specific one,
// v1 from one agent and v2c from another, interleaved: one line each, in
// the order sent.
TEST_F(TestLan, TrapsFromTwoAgentsArriveAsLinesInOrder)
{
    const LanAgent& v1Agent = agent("ordinary", 0);  // segment 1
    const LanAgent& v2Agent = agent("ordinary", 1);  // segment 2
    AgentHost v1Host(v1Agent.ns);
    AgentHost v2Host(v2Agent.ns);
    const QStringList names{"coldStart", "warmStart", "linkDown", "linkUp", "authenticationFailure", "egpNeighborLoss"};

    QStringList expected;
    for (int generic = 0; generic <= 6; ++generic) {
        const int v1Specific = generic == 6 ? 17 : 0;
        ASSERT_TRUE(v1Host.sendV1Trap(v1Agent.managerAddress, v1Agent.address, generic, v1Specific))
            << v1Host.error().toStdString();
        // snmpTraps.1 .. .6 are the standard traps; any other OID ending in
        // 42 is enterprise-specific 42.
        const QString v2Oid = generic < 6 ? "1.3.6.1.6.3.1.1.5." + QString::number(generic + 1)
                                          : QStringLiteral("1.3.6.1.4.1.8072.2.3.0.42");
        ASSERT_TRUE(v2Host.sendV2cTrap(v2Agent.managerAddress, v2Oid)) << v2Host.error().toStdString();
        const QString text = generic < 6 ? " " + names[generic] : QStringLiteral(" enterpriseSpecific: ");
        expected << v1Agent.address + text + (generic == 6 ? "17" : "");
        expected << v2Agent.address + text + (generic == 6 ? "42" : "");
    }

    Operator::waitFor([&] { return op->trapLines().size() >= expected.size(); }, 10000);
    Operator::settle(500);
    EXPECT_EQ(op->trapLines().join('\n').toStdString(), expected.join('\n').toStdString());
}

// Scenario 4: with a fifth of the datagrams lost each way, the engine's
// resends still complete nearly every walk. A request is given up only when
// all six copies or their answers are lost (0.36^6, about 1 in 460), so a
// walk of eight exchanges fails about once in 58 and three failures in 20
// come by chance about once in 200 runs. The harsher 30 % link, where chance
// alone fails one walk in ten, is measured by bench/lossy_walk.sh instead.
TEST_F(TestLan, WalksThroughALossyLinkComplete)
{
    const LossyWalks result = lossyWalks(agent("ordinary", 2), 20, 2);
    EXPECT_GE(result.completed, 18);
    EXPECT_GT(result.dropped, 0u) << "the filter dropped nothing";
}

// Scenario 6: 52 agents (50 ordinary, two special) answer one broadcast;
// each becomes exactly one row. Three searches in a row, each timed from
// the click to the last row.
TEST_F(TestLan, SearchOfFiftyAgentsListsEachOnce)
{
    const std::size_t expected = s_lan->answering().size();
    ASSERT_GE(expected, 52u);
    std::vector<qint64> lastRowMs;
    for (int search = 0; search < 3; ++search) {
        findAllAgents();
        const std::vector<Operator::Row> rows = op->rows();
        std::set<QString> addresses;
        for (const Operator::Row& row : rows)
            addresses.insert(row.address);
        EXPECT_EQ(rows.size(), expected) << "search " << search;
        EXPECT_EQ(addresses.size(), rows.size()) << "search " << search << " lists an agent twice";
        ASSERT_FALSE(op->rowTimes().empty());
        lastRowMs.push_back(op->rowTimes().back());
    }
    std::string times;
    for (const qint64 ms : lastRowMs)
        times += (times.empty() ? "" : ", ") + std::to_string(ms) + " ms";
    report("search of " + std::to_string(expected) + " agents, click to last row: " + times);
}

// Scenario 7: agents by name. The manager's namespace has a hosts file of
// its own that names every agent "<sysName>.lan.test", and no resolver
// beyond it. A name, pasted with blanks around it, is walked at the
// address it names; a name nobody knows is said so on the status line.
TEST_F(TestLan, AgentsByNameAreWalkedAndAnUnknownNameIsReported)
{
    const LanAgent& named = agent("ordinary", 4);
    const QString pasted = QStringLiteral(" %1.lan.test ").arg(named.sysName);
    op->addAgent(pasted, QString());
    ASSERT_TRUE(op->clickAgentRow(pasted)) << "the row keeps the text typed";
    EXPECT_TRUE(Operator::waitFor([&] { return op->status() == afterSystemGroup; }, walkTimeoutMs))
        << op->status().toStdString();
    expectValuesOf(named);
    report("walked by name: " + pasted.trimmed().toStdString() + " after " + std::to_string(op->sinceSelectMs())
           + " ms");

    const QString unknown = QStringLiteral("printer-3f.example.net");
    op->addAgent(unknown, QString());
    ASSERT_TRUE(op->clickAgentRow(unknown));
    const QString expected = QStringLiteral("Could not find printer-3f.example.net: host not found");
    EXPECT_TRUE(Operator::waitFor([&] { return op->status() == expected; }, walkTimeoutMs))
        << op->status().toStdString();
    EXPECT_TRUE(op->seenBoxes().empty()) << "a name not found is no error box";
    expectValuesOf(named); // the fields keep the last agent's values
}

// Scenario 8: the IPv6 segment. The agent is walked by its address, by its
// link-local address with the manager's interface as zone, and by a name
// with only an IPv6 address; each row keeps the text as typed. Its traps
// come over IPv6 and their lines name it (a v1 trap names no IPv4 agent).
TEST_F(TestLan, AgentOverIpv6IsWalkedByAddressZoneAndNameAndItsTrapsArrive)
{
    const LanAgent* v6 = ipv6Agent();
    if (!v6)
        GTEST_SKIP() << "no IPv6 on this system: the LAN has no IPv6 segment";
    for (const QString& typed : {v6->address, QStringLiteral("fe80::5:2%seg3"), QStringLiteral("core6.lan.test")}) {
        SCOPED_TRACE(typed.toStdString());
        op->clearSystemValues();
        op->addAgent(typed, QString());
        LanAgent asTyped = *v6;
        asTyped.address = typed;
        ASSERT_TRUE(walk(asTyped, 8)) << op->status().toStdString();
        expectValuesOf(*v6);
        EXPECT_EQ(op->status(), afterSystemGroup);
    }

    AgentHost host(v6->ns);
    const QString manager = "udp6:[" + v6->managerAddress + "]";
    const qsizetype before = op->trapLines().size();
    ASSERT_TRUE(host.sendV2cTrap(manager, "1.3.6.1.6.3.1.1.5.1")) << host.error().toStdString();
    ASSERT_TRUE(host.sendV1Trap(manager, "0.0.0.0", 1, 0)) << host.error().toStdString();
    Operator::waitFor([&] { return op->trapLines().size() >= before + 2; }, 10000);
    EXPECT_EQ(op->trapLines().mid(before).join('\n').toStdString(),
              (v6->address + " coldStart\n" + v6->address + " warmStart").toStdString());
}

} // namespace
} // namespace brellan::lan
