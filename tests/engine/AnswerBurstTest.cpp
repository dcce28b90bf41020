// SPDX-License-Identifier: GPL-3.0-or-later
// A burst of answers far larger than one small receive buffer holds, sent
// to the port searches leave from, from many addresses, while the GUI
// thread is busy.

#include "EngineHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace brellan::test {
namespace {

// Every answer of the burst reaches the engine's road: none is lost in the
// system, none in the reader's queue, and each is decoded and checked on
// the GUI thread (here: counted as answering no request of ours). One
// socket with this buffer holds a few hundred of them.
TEST(SearchPort, BurstFromManyAgentsWhileTheGuiThreadIsBusyIsReadWhole)
{
    constexpr int agents = 250;
    constexpr int answersEach = 8;
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (int agent = 0; agent < agents; ++agent) {
        auto socket = std::make_unique<QUdpSocket>();
        const quint16 port = senders.empty() ? 0 : senders.front()->localPort();
        ASSERT_TRUE(socket->bind(QHostAddress(0x7F000001u + static_cast<quint32>(agent)), port))
            << socket->errorString().toStdString();
        senders.push_back(std::move(socket));
    }
    UdpEngine::Settings settings = loopbackSettings(senders.front()->localPort());
    settings.receiveBufferBytes = 128 * 1024;
    UdpEngine engine(settings);
    ASSERT_NE(engine.boundSearchPort(), 0);

    snmp::Pdu answer;
    answer.type = snmp::PduType::GetResponse;
    answer.requestId = 0; // answers no request: the engine's ids are never 0
    answer.bindings = {{oid("1.3.6.1.2.1.1.5.0"), FakeAgent::text("agent")}};
    const std::vector<std::uint8_t> bytes = snmp::encodeMessage(snmp::Message{snmp::versionV1, "mervik", answer});
    // The event loop does not run while the burst is sent, nor for a while after.
    for (int round = 0; round < answersEach; ++round)
        for (const auto& sender : senders)
            sender->writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                                  QHostAddress(QHostAddress::LocalHost), engine.boundSearchPort());
    std::this_thread::sleep_for(200ms);

    constexpr std::uint64_t burst = agents * answersEach;
    EXPECT_TRUE(waitFor([&] { return engine.counters().unmatched >= burst; }));
    settle(50ms);
    const UdpEngine::Counters counters = engine.counters();
    EXPECT_EQ(counters.unmatched, burst) << "malformed " << counters.malformed << ", from elsewhere "
                                         << counters.wrongSource;
}

} // namespace
} // namespace brellan::test
