// SPDX-License-Identifier: GPL-3.0-or-later
// The LAN turned hostile: a host that sprays guessed answers while a real
// agent is walked, one that answers Find Agents with the wrong object, an
// operator who selects a broadcast address, an agent that is down, and
// forged answers over IPv6.
// None of them may put a false value in a field, turn one datagram into
// many, or leave a status line that reads as success.

#include "LanFixture.h"

#include <QProcess>

namespace brellan::lan {
namespace {

// lan_attacker, running in the hostile host's namespace until stop().
class Attacker {
public:
    Attacker(const LanAttacker& host, const QString& mode, int seconds)
    {
        m_process.start("ip", {"netns", "exec", host.ns, qEnvironmentVariable("BRELLAN_LAN_ATTACKER"), mode,
                               QString::number(seconds)});
        m_ready = m_process.waitForReadyRead(5000) && m_process.readLine().trimmed() == "ready";
    }
    ~Attacker() { stop(); }
    Attacker(const Attacker&) = delete;
    Attacker& operator=(const Attacker&) = delete;

    bool ready() const { return m_ready; }
    QString error() const { return QString::fromUtf8(m_process.readAllStandardError()); }

    // Ends it and returns how many datagrams it sent.
    std::uint64_t stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
        const QString output = QString::fromUtf8(m_process.readAll());
        const qsizetype at = output.lastIndexOf("sent ");
        if (at >= 0)
            m_sent = output.mid(at + 5).trimmed().toULongLong();
        return m_sent;
    }

private:
    mutable QProcess m_process;
    bool m_ready = false;
    std::uint64_t m_sent = 0;
};

class HostileLan : public TestLan {
protected:
    const LanAttacker& attacker() const
    {
        if (!s_lan->attacker)
            throw std::runtime_error("the LAN has no hostile host");
        return *s_lan->attacker;
    }
};

// The attacker learns a request id and the request port from the search,
// then sprays answers for the next ids and for random ones. The walk of a
// real agent shows that agent's values, and only those.
TEST_F(HostileLan, SprayedAnswersNeverReachAField)
{
    Attacker spray(attacker(), "spray", 20);
    ASSERT_TRUE(spray.ready()) << spray.error().toStdString();
    findAllAgents();
    const LanAgent& real = agent("ordinary", 4);
    constexpr int walks = 5;
    for (int i = 0; i < walks; ++i) {
        SCOPED_TRACE("walk " + std::to_string(i + 1));
        op->clearSystemValues();
        ASSERT_TRUE(walk(real, 8));
        expectValuesOf(real);
        EXPECT_EQ(op->status(), afterSystemGroup);
        for (const QString& value : op->systemValues())
            EXPECT_FALSE(value.contains("SPOOFED")) << value.toStdString();
    }

    const UdpEngine::Counters counters = op->engine().counters();
    const std::uint64_t sprayed = spray.stop();
    report("spray during " + std::to_string(walks) + " walks: " + std::to_string(sprayed)
           + " forged answers sent; dropped " + std::to_string(counters.wrongSource) + " from the wrong address, "
           + std::to_string(counters.unmatched) + " with unknown ids; every field real, program alive");
    EXPECT_GT(counters.wrongSource + counters.unmatched, 0u) << "the spray never reached the manager";
}

// An answer to the search that names sysDescr.0 instead of sysName.0 is no
// answer to it: no row, no field, and nothing sent after the one search.
TEST_F(HostileLan, ForgedAnswerToFindAgentsCostsNoDatagram)
{
    Attacker forger(attacker(), "forge-find", 10);
    ASSERT_TRUE(forger.ready()) << forger.error().toStdString();
    const LanAgent& watched = agent("ordinary", 0); // on the attacker's segment
    AgentHost host(watched.ns);
    ASSERT_TRUE(host.installSnmpFilter(0)) << host.error().toStdString();

    findAllAgents();
    Operator::settle(1000);

    const std::optional<AgentHost::FilterCounts> counts = host.snmpFilterCounts();
    host.removeSnmpFilter();
    const std::uint64_t forged = forger.stop();
    ASSERT_TRUE(counts) << host.error().toStdString();
    EXPECT_EQ(counts->passed, 1u) << "datagrams an agent received: the search alone";
    EXPECT_EQ(op->engine().counters().requests, 1u);
    EXPECT_EQ(op->engine().counters().wrongObject, forged);
    EXPECT_GE(forged, 1u);
    EXPECT_EQ(op->rows().size(), s_lan->answering().size());
    for (const Operator::Row& row : op->rows())
        EXPECT_NE(row.address, attacker().address);
    for (const QString& value : op->systemValues())
        EXPECT_TRUE(value.isEmpty()) << value.toStdString();
    report("forged answer to Find Agents: " + std::to_string(forged) + " forged, "
           + std::to_string(op->engine().counters().requests) + " request sent, "
           + std::to_string(counts->passed) + " datagram reached an agent");
}

// A row typed as the limited or a directed broadcast address: selecting it
// costs at most the one GetRequest; the walk does not go on from there.
TEST_F(HostileLan, SelectingABroadcastAddressCostsAtMostOneRequest)
{
    const LanAgent& watched = agent("ordinary", 0); // segment 1
    for (const QString& address : {QStringLiteral("255.255.255.255"), QStringLiteral("10.202.1.255")}) {
        SCOPED_TRACE(address.toStdString());
        AgentHost host(watched.ns);
        ASSERT_TRUE(host.installSnmpFilter(0)) << host.error().toStdString();
        const UdpEngine::Counters before = op->engine().counters();
        op->addAgent(address, "everyone");
        ASSERT_TRUE(op->clickAgentRow(address));
        Operator::settle(searchWindowMs);

        const UdpEngine::Counters after = op->engine().counters();
        const std::optional<AgentHost::FilterCounts> counts = host.snmpFilterCounts();
        host.removeSnmpFilter();
        ASSERT_TRUE(counts) << host.error().toStdString();
        EXPECT_EQ(after.requests - before.requests, 1u);
        EXPECT_EQ(after.retries - before.retries, 0u);
        EXPECT_EQ(counts->passed, 1u) << "datagrams the agent received";
        // Every agent's answer would have continued the walk at the address:
        // the one request and the one datagram above say none did.
        report("selected " + address.toStdString() + ": " + std::to_string(after.requests - before.requests)
               + " request, " + std::to_string(after.responses - before.responses) + " answers, no GetNext sent");
    }
    EXPECT_TRUE(op->windowActive());
}

// An agent that is down: the status line says the request was given up,
// not what the previous agent answered.
TEST_F(HostileLan, DeadAgentIsReportedOnTheStatusLine)
{
    const LanAgent& real = agent("ordinary", 2);
    op->addAgent(real.address, real.sysName);
    ASSERT_TRUE(walk(real, 8));
    const QString dead = QStringLiteral("10.202.2.250"); // on segment 2, no host there
    op->addAgent(dead, "down");
    ASSERT_TRUE(op->clickAgentRow(dead));
    const QString expected = "No answer from " + dead + " after 6 tries (community mervik)";
    EXPECT_TRUE(Operator::waitFor([&] { return op->status() == expected; }, 12000)) << op->status().toStdString();
    report("dead agent: \"" + op->status().toStdString() + "\" after " + std::to_string(op->sinceSelectMs()) + " ms");
    expectValuesOf(real); // the fields keep the last agent's values
}

// Over IPv6 the same rule holds: the agent's first answer of the walk
// reaches the manager from another address on the segment, with the right
// request id and port. It fills no field and makes the engine send
// nothing; the request's resend, answered from the agent's own address,
// carries the walk on.
TEST_F(HostileLan, AnswerFromAnotherIpv6AddressNeverReachesAField)
{
    const LanAgent* v6 = ipv6Agent();
    if (!v6)
        GTEST_SKIP() << "no IPv6 on this system: the LAN has no IPv6 segment";
    AgentHost host(v6->ns);
    ASSERT_TRUE(host.forgeFirstAnswer(QStringLiteral("fd00:5::66"))) << host.error().toStdString();
    op->addAgent(v6->address, QString());
    const UdpEngine::Counters before = op->engine().counters();

    const bool walked = walk(*v6, 8);
    host.removeForgedAnswers();
    ASSERT_TRUE(walked) << op->status().toStdString();
    expectValuesOf(*v6);
    EXPECT_EQ(op->status(), afterSystemGroup);
    const UdpEngine::Counters after = op->engine().counters();
    EXPECT_EQ(after.wrongSource - before.wrongSource, 1u) << "the forged answer was not seen and dropped";
    EXPECT_EQ(after.requests - before.requests, 8u);
    EXPECT_EQ(after.retries - before.retries, 1u) << "one resend, for the request whose answer was forged";
    EXPECT_EQ(after.responses - before.responses, 8u);
}

} // namespace
} // namespace brellan::lan
