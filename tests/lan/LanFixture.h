// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The fixture of the operator's scenarios on the private test LAN: the LAN
// as test_lan.sh described it, the real window over the real engine, and
// the steps every scenario takes (search, walk, compare the fields).
// Runs only inside the LAN's manager namespace (main.cpp checks).

#include "AgentHost.h"
#include "LanDescription.h"
#include "Operator.h"

#include <gtest/gtest.h>

#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <array>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace brellan::lan {

// Net-SNMP's system group goes on with sysORLastChange after sysServices.
inline const QString afterSystemGroup = QStringLiteral("Result: 1.3.6.1.2.1.1.8.0 [OK]");

// The engine takes answers to a broadcast for 3 s; a little more shows
// that nothing arrives late or twice.
constexpr int searchWindowMs = 3500;
constexpr int walkTimeoutMs = 30000;

enum Field { Descr, ObjectID, UpTime, Contact, Name, Location, Services };

inline void report(const std::string& line)
{
    std::cout << "[ LAN      ] " << line << std::endl;
}

class TestLan : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        QString error;
        s_lan = readLanDescription(qEnvironmentVariable("BRELLAN_LAN_DESCRIPTION"), error);
        if (!s_lan)
            s_error = error;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_lan) << s_error.toStdString() << " (run this through test_lan.sh)";
        op = std::make_unique<Operator>();
        ASSERT_TRUE(op->windowActive());
        ASSERT_EQ(op->engine().boundTrapPort(), 162) << op->engine().trapReceiverProblem().toStdString();
    }

    // The agent on the IPv6 segment; the test is skipped where the system
    // has no IPv6 and test_lan.sh built none.
    const LanAgent* ipv6Agent() const { return s_lan->byRole(QStringLiteral("ipv6-only")); }

    const LanAgent& agent(const QString& role, int skip = 0) const
    {
        const LanAgent* found = s_lan->byRole(role, skip);
        if (!found)
            throw std::runtime_error("the LAN has no agent " + role.toStdString());
        return *found;
    }

    // Clicks Find Agents and waits until every answering agent has a row,
    // then through the rest of the engine's broadcast window.
    void findAllAgents()
    {
        const std::size_t expected = s_lan->answering().size();
        op->clickFindAgents();
        Operator::waitFor([&] { return op->rows().size() >= expected; }, searchWindowMs);
        Operator::settle(static_cast<int>(std::max<qint64>(0, searchWindowMs - op->sinceFindMs())));
    }

    // Clicks the agent's row and waits until `responses` answers have been
    // handled or a request has been given up.
    bool walk(const LanAgent& agent, std::uint64_t responses)
    {
        const UdpEngine::Counters before = op->engine().counters();
        if (!op->clickAgentRow(agent.address)) {
            ADD_FAILURE() << "no row for " << agent.address.toStdString();
            return false;
        }
        Operator::waitFor(
            [&] {
                const UdpEngine::Counters now = op->engine().counters();
                return now.responses - before.responses >= responses || now.timeouts > before.timeouts;
            },
            walkTimeoutMs);
        const UdpEngine::Counters after = op->engine().counters();
        return after.responses - before.responses == responses && after.timeouts == before.timeouts;
    }

    void expectValuesOf(const LanAgent& agent, const std::set<Field>& except = {}) const
    {
        const std::array<QString, 7> values = op->systemValues();
        const std::map<Field, QString> expected{{Descr, agent.sysDescr},     {ObjectID, agent.sysObjectID},
                                                {Contact, agent.sysContact}, {Name, agent.sysName},
                                                {Location, agent.sysLocation}, {Services, QStringLiteral("72")}};
        for (const auto& [field, value] : expected) {
            if (except.contains(field))
                continue;
            // The ObjectID box gives the number, then its name where one is known.
            const QString shown = field == ObjectID ? values[field].section(' ', 0, 0) : values[field];
            EXPECT_EQ(shown.toStdString(), value.toStdString()) << "field " << field;
        }
        EXPECT_FALSE(values[UpTime].isEmpty());
    }

    struct LossyWalks {
        int completed = 0;
        std::vector<double> seconds;    // each walk, from the click to its last answer or its end
        std::vector<std::uint64_t> resends; // each walk's
        std::uint64_t dropped = 0;      // requests the filter dropped (answers are dropped as often)
    };

    // `walks` walks of `lossy` through a filter that drops `dropTenths`
    // tenths of the datagrams each way, each walk timed; reports every figure.
    LossyWalks lossyWalks(const LanAgent& lossy, int walks, int dropTenths)
    {
        LossyWalks result;
        op->addAgent(lossy.address, lossy.sysName);
        AgentHost host(lossy.ns);
        if (!host.installSnmpFilter(dropTenths)) {
            ADD_FAILURE() << host.error().toStdString();
            return result;
        }
        for (int i = 0; i < walks; ++i) {
            op->clearSystemValues();
            const UdpEngine::Counters before = op->engine().counters();
            const bool complete = walk(lossy, 8);
            result.seconds.push_back(static_cast<double>(op->sinceSelectMs()) / 1000.0);
            const UdpEngine::Counters after = op->engine().counters();
            result.resends.push_back(after.retries - before.retries);
            if (complete) {
                ++result.completed;
                expectValuesOf(lossy);
                EXPECT_EQ(op->status(), afterSystemGroup);
                continue;
            }
            report("walk " + std::to_string(i + 1) + " stalled after "
                   + std::to_string(after.responses - before.responses) + " answers: requests "
                   + std::to_string(after.requests - before.requests) + ", resends "
                   + std::to_string(after.retries - before.retries)
                   + ", given up " + std::to_string(after.timeouts - before.timeouts));
        }
        const std::optional<AgentHost::FilterCounts> counts = host.snmpFilterCounts();
        host.removeSnmpFilter();
        if (counts)
            result.dropped = counts->dropped;
        const std::uint64_t arrived = counts ? counts->dropped + counts->passed : 0;
        std::string resends;
        for (const std::uint64_t count : result.resends) {
            if (!resends.empty())
                resends += ' ';
            resends += std::to_string(count);
        }
        report("lossy walks: " + std::to_string(result.completed) + "/" + std::to_string(walks) + " complete; "
               + std::to_string(result.dropped) + " of " + std::to_string(arrived) + " requests dropped ("
               + std::to_string(arrived ? 100 * result.dropped / arrived : 0) + " %, answers as often); walk time median "
               + seconds(median(result.seconds)) + " s, worst " + seconds(worst(result.seconds))
               + " s; resends per walk: " + resends);
        return result;
    }

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const std::size_t middle = values.size() / 2;
        return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }
    static double worst(const std::vector<double>& values)
    {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
    static std::string seconds(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        return text;
    }

    static inline std::optional<LanDescription> s_lan;
    static inline QString s_error;
    std::unique_ptr<Operator> op;
};

} // namespace brellan::lan
