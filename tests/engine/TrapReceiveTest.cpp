// SPDX-License-Identifier: GPL-3.0-or-later
// Traps from Net-SNMP's snmptrap and from crafted datagrams, through the
// real engine into the manager's trap log.

#include "EngineHarness.h"
#include "TrapDetailsText.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <latch>
#include <numeric>
#include <thread>

#include <gtest/gtest.h>

namespace brellan::test {
namespace {

snmp::Message v1Trap(std::int32_t generic, std::int32_t specific)
{
    snmp::TrapPdu trap;
    trap.enterprise = oid("1.3.6.1.4.1.8072.2.3");
    trap.agentAddress = {10, 0, 0, 7};
    trap.genericTrap = generic;
    trap.specificTrap = specific;
    return snmp::Message{snmp::versionV1, "anything", trap};
}

class TrapReceiver : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wired.engine.trapReceiverProblem().isEmpty()) << wired.engine.trapReceiverProblem().toStdString();
        ASSERT_NE(wired.engine.boundTrapPort(), 0);
    }

    // Runs snmptrap against the engine's trap port; `arguments` follow the target.
    void snmptrap(const QStringList& head, const QStringList& arguments, const QString& host = "127.0.0.1")
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MIBS", "");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("snmptrap", head + QStringList{host + ":" + QString::number(wired.engine.boundTrapPort())}
                                      + arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
    }

    void v1(const QString& agentAddress, int generic, int specific)
    {
        snmptrap({"-v", "1", "-c", "public"},
                 {".1.3.6.1.4.1.8072.2.3", agentAddress, QString::number(generic), QString::number(specific), "1234"});
    }

    void v2c(const QStringList& trapAndBindings)
    {
        snmptrap({"-v", "2c", "-c", "public"}, QStringList{"1234"} + trapAndBindings);
    }

    void sendRaw(const std::vector<std::uint8_t>& bytes)
    {
        sender.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                             QHostAddress(QHostAddress::LocalHost), wired.engine.boundTrapPort());
    }

    WiredManager wired{loopbackSettings(1)};
    QUdpSocket sender;
};

TEST_F(TrapReceiver, V1TrapsFromSnmptrapBecomeLinesInOrder)
{
    for (int generic = 0; generic <= 5; ++generic)
        v1("10.0.0.7", generic, 0);
    v1("10.0.0.7", 6, 42);
    v1("0.0.0.0", 1, 0); // no agent address in the trap: the sender's is shown

    ASSERT_TRUE(waitFor([&] { return wired.state.trapLines.size() >= 8; }));
    const std::vector<std::string> expected{
        "10.0.0.7 coldStart",      "10.0.0.7 warmStart",       "10.0.0.7 linkDown",
        "10.0.0.7 linkUp",         "10.0.0.7 authenticationFailure", "10.0.0.7 egpNeighborLoss",
        "10.0.0.7 enterpriseSpecific: 42", "127.0.0.1 warmStart"};
    EXPECT_EQ(wired.state.trapLines, expected);
}

TEST_F(TrapReceiver, V2cTrapsFromSnmptrapMapToGenericAndSpecificCodes)
{
    v2c({".1.3.6.1.6.3.1.1.5.1"});
    v2c({".1.3.6.1.6.3.1.1.5.3", ".1.3.6.1.2.1.2.2.1.1.2", "i", "2", ".1.3.6.1.6.3.18.1.3.0", "a", "10.0.0.9"});
    v2c({".1.3.6.1.4.1.8072.2.3.0.17"});

    ASSERT_TRUE(waitFor([&] { return wired.state.trapLines.size() >= 3; }));
    const std::vector<std::string> expected{"127.0.0.1 coldStart", "10.0.0.9 linkDown",
                                            "127.0.0.1 enterpriseSpecific: 17"};
    EXPECT_EQ(wired.state.trapLines, expected);
}

// Over IPv6 a trap's line names its source, unless a v1 trap names an
// (IPv4) agent; an inform is acknowledged to its IPv6 source (snmptrap -Ci
// fails without the Response); the details write the source with brackets.
TEST_F(TrapReceiver, TrapsAndInformsOverIpv6NameTheirSource)
{
    std::vector<ReceivedTrap> received;
    wired.engine.Trap().connect([&](std::int32_t, std::int32_t, const std::string&, const ReceivedTrap& trap) {
        received.push_back(trap);
    });
    const QString ipv6 = "udp6:[::1]";
    snmptrap({"-v", "2c", "-c", "public"}, {"1234", ".1.3.6.1.6.3.1.1.5.1"}, ipv6);
    snmptrap({"-v", "1", "-c", "public"}, {".1.3.6.1.4.1.8072.2.3", "0.0.0.0", "1", "0", "1234"}, ipv6);
    snmptrap({"-v", "1", "-c", "public"}, {".1.3.6.1.4.1.8072.2.3", "10.0.0.7", "2", "0", "1234"}, ipv6);
    snmptrap({"-v", "2c", "-c", "public", "-Ci", "-r", "0", "-t", "5"}, {"1234", ".1.3.6.1.6.3.1.1.5.4"}, ipv6);
    v1("0.0.0.0", 4, 0); // and over IPv4 as before, never as ::ffff:127.0.0.1

    ASSERT_TRUE(waitFor([&] { return wired.state.trapLines.size() >= 5; }));
    const std::vector<std::string> expected{"::1 coldStart", "::1 warmStart", "10.0.0.7 linkDown", "::1 linkUp",
                                            "127.0.0.1 authenticationFailure"};
    EXPECT_EQ(wired.state.trapLines, expected);
    ASSERT_EQ(received.size(), 5u);
    const std::string from = "From: [::1]:" + std::to_string(received[0].sourcePort) + "\n";
    EXPECT_NE(trapDetailsText(received[0], "now").find(from), std::string::npos) << trapDetailsText(received[0], "now");
    EXPECT_NE(trapDetailsText(received[2], "now").find("names 10.0.0.7 as its agent but came from ::1:"),
              std::string::npos);
    EXPECT_NE(trapDetailsText(received[4], "now").find("From: 127.0.0.1, UDP port"), std::string::npos);
}

TEST_F(TrapReceiver, BadDatagramsAreDroppedAndLaterTrapsStillArrive)
{
    sendRaw({0x30, 0x82, 0xFF}); // length runs past the datagram
    sendRaw({0x30, 0x80, 0x00, 0x00}); // indefinite length
    sendRaw({});
    std::vector<std::uint8_t> good = snmp::encodeMessage(v1Trap(3, 0));
    sendRaw(std::vector<std::uint8_t>(good.begin(), good.end() - 3));
    snmp::Pdu request;
    request.type = snmp::PduType::GetRequest;
    request.bindings = {{oid("1.3.6.1.2.1.1.5.0"), {}}};
    sendRaw(snmp::encodeMessage(snmp::Message{snmp::versionV1, "mervik", request})); // well formed, but no trap
    sendRaw(good);

    ASSERT_TRUE(waitFor([&] { return wired.state.trapLines.size() == 1; }));
    EXPECT_EQ(wired.state.trapLines.front(), "10.0.0.7 linkUp");
    const UdpEngine::Counters counters = wired.engine.counters();
    EXPECT_GE(counters.trapsMalformed, 3u); // the empty datagram may never be read as one
    EXPECT_EQ(counters.notTraps, 1u);
}

// A handler that opens a modal dialog runs a nested event loop; traps that
// arrive meanwhile must wait for it, not run inside it.
TEST_F(TrapReceiver, EventsWaitForARunningHandlerAndSurviveItsException)
{
    int depth = 0;
    int deepest = 0;
    std::vector<std::int32_t> seen;
    wired.engine.Trap().connect([&](std::int32_t generic, std::int32_t specific, const std::string&,
                                    const ReceivedTrap&) { wired.run("trap", [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        seen.push_back(specific);
        if (specific == 1) {
            // The "dialog": more traps arrive while it is open.
            for (std::int32_t next = 2; next <= 4; ++next)
                sendRaw(snmp::encodeMessage(v1Trap(generic, next)));
            settle(300ms);
        }
        --depth;
        if (specific == 2)
            throw std::runtime_error("handler failure");
    }); });

    sendRaw(snmp::encodeMessage(v1Trap(6, 1)));

    ASSERT_TRUE(waitFor([&] { return seen.size() == 4; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(wired.state.trapLines.size(), 4u);
}

// A burst larger than the default socket buffer holds must all arrive, and
// delivering it to a slow handler must give the event loop turns (the
// window stays responsive).
TEST_F(TrapReceiver, BurstIsReadCompletelyAndDeliveredInSlicesThatYieldToTheEventLoop)
{
    constexpr int burst = 2000;
    int ticks = 0;
    int ticksWhileDelivering = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    wired.engine.Trap().connect([&](std::int32_t, std::int32_t specific, const std::string&, const ReceivedTrap&) {
        if (specific == 1)
            ticks = 0;
        if (specific == burst)
            ticksWhileDelivering = ticks;
        std::this_thread::sleep_for(100us); // 0.2 s for the burst
    });

    for (std::int32_t specific = 1; specific <= burst; ++specific)
        sendRaw(snmp::encodeMessage(v1Trap(6, specific)));
    ticker.start(0);

    ASSERT_TRUE(waitFor([&] { return wired.state.trapLines.size() == static_cast<std::size_t>(burst); }))
        << "received " << wired.state.trapLines.size();
    EXPECT_EQ(wired.state.trapLines.back(), "10.0.0.7 enterpriseSpecific: " + std::to_string(burst));
    EXPECT_GT(ticksWhileDelivering, 0);
}

// A readiness report with nothing to read must not leave a socket
// unwatched: every datagram sent afterwards arrives, each on its own. (The
// trap socket is such a socket, on the receive thread.)
TEST(SnmpSocket, ReadinessReportedWithNothingWaitingDoesNotStopReception)
{
    std::vector<std::int32_t> specifics;
    SnmpSocket socket(1024, [&](SnmpSocket::Received& received) {
        specifics.push_back(std::get<snmp::TrapPdu>(received.message.pdu).specificTrap);
    });
    ASSERT_FALSE(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
    ASSERT_EQ(reportReadableWhileEmpty(socket), 1);
    QUdpSocket sender;
    for (std::int32_t specific = 1; specific <= 3; ++specific) {
        const std::vector<std::uint8_t> bytes = snmp::encodeMessage(v1Trap(6, specific));
        sender.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                             QHostAddress(QHostAddress::LocalHost), socket.boundPort());
        ASSERT_TRUE(waitFor([&] { return specifics.size() == static_cast<std::size_t>(specific); }))
            << "datagram " << specific << " not received";
    }
    EXPECT_EQ(specifics, (std::vector<std::int32_t>{1, 2, 3}));
}

// While a handler runs, traps wait in the bounded queue, not in the event
// queue: what does not fit is counted and reported, and what fits follows
// in order once the handler returns.
TEST(TrapQueue, AFullQueueCountsAndReportsWhatItDropsAndKeepsTheRestInOrder)
{
    UdpEngine::Settings settings = loopbackSettings(1);
    settings.trapQueueCapacity = 100;
    WiredManager wired(settings);
    QSignalSpy reports(&wired.engine, &UdpEngine::trapReceiverStateChanged);
    QUdpSocket sender;
    const auto send = [&](std::int32_t specific) {
        const std::vector<std::uint8_t> bytes = snmp::encodeMessage(v1Trap(6, specific));
        sender.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                             QHostAddress(QHostAddress::LocalHost), wired.engine.boundTrapPort());
    };
    std::vector<std::int32_t> seen;
    wired.engine.Trap().connect([&](std::int32_t, std::int32_t specific, const std::string&, const ReceivedTrap&) {
        seen.push_back(specific);
        if (specific != 1)
            return;
        // The "dialog": 300 traps arrive while it is open; 100 fit.
        for (std::int32_t next = 2; next <= 301; ++next)
            send(next);
        settle(300ms);
        EXPECT_EQ(seen.size(), 1u) << "no trap is raised inside a running handler";
    });

    send(1);

    ASSERT_TRUE(waitFor([&] { return seen.size() == 101 && !reports.isEmpty(); })) << seen.size();
    settle(100ms);
    std::vector<std::int32_t> expected(101);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(wired.state.trapLines.back(), "10.0.0.7 enterpriseSpecific: 101");
    EXPECT_EQ(wired.engine.counters().trapsDropped, 200u);
    EXPECT_EQ(reports.last().at(0).toString().toStdString(),
              "200 traps were lost: they came faster than they could be logged, while 100 were waiting.");
}

// Lets a held reader go, at the latest when the test ends.
struct ReleaseAtExit {
    std::function<void()> release;
    ~ReleaseAtExit() { release(); }
};

// The system drops what does not fit a full receive buffer: the operator
// reads how many traps were lost, once on the status line and in the trap
// list's tooltip, which also counts the datagrams at the port that were no
// trap. The reader is held on the receive thread (where it tells that a
// trap waits) while a burst fills the tiny buffer.
TEST(TrapPort, TrapsLostToAFullReceiveBufferAndUnreadableDatagramsAreTold)
{
    constexpr std::int32_t burst = 1200;
    UdpEngine::Settings settings = loopbackSettings(1);
    settings.receiveBufferBytes = 1; // the system's least, a few datagrams
    std::latch readerReleased(1);     // outlives the engine, whose thread waits on it
    bool released = false;
    const auto release = [&] {
        if (!std::exchange(released, true))
            readerReleased.count_down();
    };
    WiredManager wired(settings);
    const ReleaseAtExit releaseAtExit{release}; // before the engine stops its thread
    QSignalSpy states(&wired.engine, &UdpEngine::trapReceiverStateChanged);
    std::vector<std::string> notices;
    wired.engine.Notice().connect([&](const std::string& text) { notices.push_back(text); });
    auto* receiver = wired.engine.findChild<brellan::TrapReceiver*>();
    ASSERT_NE(receiver, nullptr);
    QObject::connect(receiver, &brellan::TrapReceiver::trapsWaiting, receiver, [&] { readerReleased.wait(); },
                     Qt::DirectConnection);
    QUdpSocket sender;
    const auto send = [&](const std::vector<std::uint8_t>& bytes) {
        sender.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                             QHostAddress(QHostAddress::LocalHost), wired.engine.boundTrapPort());
    };

    for (std::int32_t specific = 1; specific <= burst; ++specific)
        send(snmp::encodeMessage(v1Trap(6, specific))); // the first one holds the reader
    release();
    ASSERT_TRUE(waitFor([&] { return !notices.empty(); }));
    std::vector<std::uint8_t> trailing = snmp::encodeMessage(v1Trap(3, 0));
    trailing.push_back(0);
    send(trailing);
    snmp::Pdu request;
    request.type = snmp::PduType::GetRequest;
    request.bindings = {{oid("1.3.6.1.2.1.1.5.0"), {}}};
    send(snmp::encodeMessage(snmp::Message{snmp::versionV2c, "mervik", request}));

    ASSERT_TRUE(waitFor([&] { return wired.engine.counters().trapsMalformed + wired.engine.counters().notTraps == 2; }));
    settle(100ms);
    const std::uint64_t lost = wired.engine.counters().trapsLostToBuffer;
    EXPECT_EQ(lost + wired.state.trapLines.size(), static_cast<std::uint64_t>(burst));
    ASSERT_GE(lost, 1000u) << "the buffer held " << wired.state.trapLines.size();
    EXPECT_EQ(notices, std::vector<std::string>{thousands(lost) + " traps lost: the receive buffer was full"});
    EXPECT_EQ(wired.state.statusLine, notices.front());
    ASSERT_FALSE(states.isEmpty());
    EXPECT_EQ(states.last().at(0).toString().toStdString(),
              thousands(lost) + " traps were lost: the receive buffer was full.\n"
                                "2 datagrams at the trap port were not traps Brellan can read.");
}

// Where the IPv6 socket cannot be bound (IPv6 off; here an address no
// interface has), traps over IPv4 still arrive, and the problem names IPv6
// alone.
TEST(TrapPort, IPv6SocketThatCannotBeBoundLeavesIpv4TrapsWorking)
{
    UdpEngine::Settings settings = loopbackSettings(1);
    settings.trapBindAddress6 = QHostAddress(QStringLiteral("fd00:5::99"));
    WiredManager wired(settings);

    ASSERT_NE(wired.engine.boundTrapPort(), 0);
    const std::string problem = wired.engine.trapReceiverProblem().toStdString();
    EXPECT_TRUE(problem.starts_with("Traps over IPv6 will not be received: UDP port "
                                    + std::to_string(wired.engine.boundTrapPort()) + " on fd00:5::99 cannot be opened"))
        << problem;
    const std::vector<std::uint8_t> trap = snmp::encodeMessage(v1Trap(3, 0));
    QUdpSocket sender;
    sender.writeDatagram(reinterpret_cast<const char*>(trap.data()), static_cast<qint64>(trap.size()),
                         QHostAddress(QHostAddress::LocalHost), wired.engine.boundTrapPort());
    ASSERT_TRUE(waitFor([&] { return wired.state.trapLines.size() == 1; }));
    EXPECT_EQ(wired.state.trapLines.front(), "10.0.0.7 linkUp");
}

// Held over IPv4 only, the port still takes traps over IPv6, and the
// problem names IPv4 alone; held over both, no trap arrives and it says so.
TEST(TrapPort, PortHeldByAnotherProgramIsReportedAndRequestsStillWork)
{
    QUdpSocket otherReceiver;
    ASSERT_TRUE(otherReceiver.bind(QHostAddress(QHostAddress::LocalHost), 0, QAbstractSocket::DontShareAddress));
    FakeAgent agent;
    UdpEngine::Settings settings = loopbackSettings(agent.port());
    settings.trapPort = otherReceiver.localPort();
    const std::string inUse = "UDP port " + std::to_string(settings.trapPort) + " is in use by another program";
    {
        const WiredManager ipv6Only(settings);
        EXPECT_EQ(ipv6Only.engine.boundTrapPort(), settings.trapPort);
        EXPECT_TRUE(ipv6Only.engine.trapReceiverProblem().toStdString().starts_with(
            "Traps over IPv4 will not be received: " + inUse))
            << ipv6Only.engine.trapReceiverProblem().toStdString();
    }
    QUdpSocket otherReceiver6;
    ASSERT_TRUE(otherReceiver6.bind(QHostAddress(QHostAddress::LocalHostIPv6), settings.trapPort,
                                    QAbstractSocket::DontShareAddress));
    WiredManager wired(settings);

    EXPECT_EQ(wired.engine.boundTrapPort(), 0);
    const std::string problem = wired.engine.trapReceiverProblem().toStdString();
    EXPECT_TRUE(problem.starts_with("Traps will not be received: " + inUse)) << problem;

    agent.script = [&](const FakeAgent::Request& request) {
        const bool first = request.pdu.type == snmp::PduType::GetRequest;
        agent.reply(request, FakeAgent::response(request, first ? "1.3.6.1.2.1.1.1.0" : "1.3.6.1.2.1.1.8.0",
                                                 snmp::Value{}));
    };
    wired.select("127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return wired.state.statusLine == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }));
}

} // namespace
} // namespace brellan::test
