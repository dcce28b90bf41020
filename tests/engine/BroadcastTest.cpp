// SPDX-License-Identifier: GPL-3.0-or-later
// A search by limited broadcast on a machine with two networks. Runs only
// inside the private network namespaces that broadcast_netns.sh builds (two
// veth segments, an snmpd on each, no route out); skipped anywhere else, so
// no broadcast ever leaves the machine's own namespace.

#include "BroadcastRoutes.h"
#include "EngineHarness.h"
#include "Ipv4Text.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>
#include <vector>

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
    EXPECT_EQ(wired.state.statusLine, "Search done: 2 agents answered (community mervik)") << "nothing was lost";
    EXPECT_EQ(wired.engine.counters().requests, 1u);
    EXPECT_EQ(wired.engine.counters().retries, 0u);
}

// The answer of an agent named "agent" to `request`; empty when it is no
// request.
std::vector<std::uint8_t> answerFromAgent(const QNetworkDatagram& request)
{
    const QByteArray bytes = request.data();
    const auto decoded = snmp::decodeMessage(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    const auto* asked = decoded ? std::get_if<snmp::Pdu>(&decoded->pdu) : nullptr;
    if (!asked || asked->bindings.empty())
        return {};
    snmp::Pdu answer = *asked;
    answer.type = snmp::PduType::GetResponse;
    answer.bindings.front().value = FakeAgent::text("agent");
    return snmp::encodeMessage(snmp::Message{snmp::versionV1, "mervik", std::move(answer)});
}

// Answers to a broadcast that the system drops for a full receive buffer are
// counted on the search's end line. The test answers the broadcast itself,
// on this namespace's directed broadcast address, with a burst sent while
// the engine does not read (the event loop does not run meanwhile).
TEST(BroadcastInNamespace, AnswersLostToAFullReceiveBufferAreCountedOnTheEndLine)
{
    if (std::getenv("BRELLAN_TEST_BROADCAST_PORT") == nullptr)
        GTEST_SKIP() << "runs only inside the namespaces of broadcast_netns.sh";
    constexpr int burst = 1200;
    const std::set<std::uint32_t> broadcasts = directedBroadcastAddresses();
    ASSERT_FALSE(broadcasts.empty());
    QUdpSocket agent;
    ASSERT_TRUE(agent.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
    UdpEngine::Settings settings = loopbackSettings(agent.localPort());
    settings.receiveBufferBytes = 1; // the system's least, a few datagrams
    // One socket read on the GUI thread: a group's reader would keep up.
    settings.searchSocketsSharingPort = 0;
    settings.timing.broadcastWindow = 1500ms;
    WiredManager wired(settings);

    wired.select(snmp::ipv4Text(*broadcasts.begin()));
    ASSERT_TRUE(agent.waitForReadyRead(patienceMs));
    const QNetworkDatagram request = agent.receiveDatagram();
    const std::vector<std::uint8_t> datagram = answerFromAgent(request);
    ASSERT_FALSE(datagram.empty());
    for (int sent = 0; sent < burst; ++sent)
        agent.writeDatagram(reinterpret_cast<const char*>(datagram.data()), static_cast<qint64>(datagram.size()),
                            request.senderAddress(), static_cast<quint16>(request.senderPort()));

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine.starts_with("Search done"); }));
    const UdpEngine::Counters counters = wired.engine.counters();
    EXPECT_EQ(counters.answersLostToBuffer + counters.responses + counters.duplicates, std::uint64_t{burst});
    ASSERT_GE(counters.answersLostToBuffer, 1000u) << "the buffer held " << counters.duplicates + 1;
    EXPECT_EQ(wired.state.statusLine, "Search done: 1 agent answered, " + thousands(counters.answersLostToBuffer)
                                          + " answers lost (receive buffer full) (community mervik)");
}

// Answers to a search received before its window closes count for it,
// however long the window was busy: 250 agents (addresses of this
// namespace's loopback) answer 8 times each, one agent after another, while
// the event loop does not run, until after the window has closed.
TEST(BroadcastInNamespace, AnswersReceivedBeforeTheWindowClosesCountThoughTheWindowWasBusy)
{
    if (std::getenv("BRELLAN_TEST_BROADCAST_PORT") == nullptr)
        GTEST_SKIP() << "runs only inside the namespaces of broadcast_netns.sh";
    constexpr std::uint64_t agents = 250;
    constexpr int answersEach = 8;
    const std::set<std::uint32_t> broadcasts = directedBroadcastAddresses();
    ASSERT_FALSE(broadcasts.empty());
    QUdpSocket asked;
    ASSERT_TRUE(asked.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QAbstractSocket::ShareAddress));
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (quint32 agent = 1; agent <= agents; ++agent) {
        senders.push_back(std::make_unique<QUdpSocket>());
        ASSERT_TRUE(senders.back()->bind(QHostAddress(0x7F000000u + agent), asked.localPort(),
                                         QAbstractSocket::ShareAddress));
    }
    UdpEngine::Settings settings = loopbackSettings(asked.localPort());
    settings.timing.broadcastWindow = 300ms;
    WiredManager wired(settings);

    wired.select(snmp::ipv4Text(*broadcasts.begin()));
    ASSERT_TRUE(asked.waitForReadyRead(patienceMs));
    const QNetworkDatagram request = asked.receiveDatagram();
    const std::vector<std::uint8_t> datagram = answerFromAgent(request);
    ASSERT_FALSE(datagram.empty());
    for (const auto& sender : senders)
        for (int sent = 0; sent < answersEach; ++sent)
            sender->writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                                  static_cast<qint64>(datagram.size()), QHostAddress(QHostAddress::LocalHost),
                                  static_cast<quint16>(request.senderPort()));
    std::this_thread::sleep_for(600ms);

    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine.starts_with("Search done"); }));
    EXPECT_EQ(wired.state.statusLine, "Search done: 250 agents answered (community mervik)");
    EXPECT_EQ(wired.engine.counters().responses, agents);
}

} // namespace
} // namespace brellan::test
