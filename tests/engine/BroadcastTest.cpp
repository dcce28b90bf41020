// SPDX-License-Identifier: GPL-3.0-or-later
// A search by limited broadcast on a machine with two networks. Runs only
// inside the private network namespaces that broadcast_netns.sh builds (two
// veth segments, an snmpd on each, no route out); skipped anywhere else, so
// no broadcast ever leaves the machine's own namespace.

#include "EngineHarness.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace brellan::test {
namespace {

TEST(BroadcastInNamespace, SearchFindsTheAgentsOfBothNetworks)
{
    const char* port = std::getenv("BRELLAN_TEST_BROADCAST_PORT");
    const char* agents = std::getenv("BRELLAN_TEST_BROADCAST_AGENTS"); // "address=name,address=name"
    if (port == nullptr || agents == nullptr)
        GTEST_SKIP() << "runs only inside the namespaces of broadcast_netns.sh";

    std::vector<AgentRow> expected;
    for (const QString& entry : QString(agents).split(',')) {
        const QStringList parts = entry.split('=');
        ASSERT_EQ(parts.size(), 2) << agents;
        expected.push_back({parts[0].toStdString(), parts[1].toStdString()});
    }
    UdpEngine::Settings settings = loopbackSettings(static_cast<std::uint16_t>(std::atoi(port)));
    settings.timing.broadcastWindow = 1500ms;
    WiredManager wired(settings);

    wired.manager.findAgents();

    ASSERT_TRUE(waitFor([&] { return wired.state.agentRows.size() >= expected.size(); }))
        << "rows: " << wired.state.agentRows.size();
    settle(settings.timing.broadcastWindow + 500ms); // a copy through the other interface must not add a row
    std::vector<AgentRow> rows = wired.state.agentRows;
    const auto byAddress = [](const AgentRow& a, const AgentRow& b) { return a.address < b.address; };
    std::sort(rows.begin(), rows.end(), byAddress);
    std::sort(expected.begin(), expected.end(), byAddress);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(wired.engine.counters().requests, 1u);
    EXPECT_EQ(wired.engine.counters().retries, 0u);
}

} // namespace
} // namespace brellan::test
