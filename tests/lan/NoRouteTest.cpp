// SPDX-License-Identifier: GPL-3.0-or-later
// Scenario 5: a search on a host with no network but loopback. Runs only in
// the namespace of its own that no_route.sh creates (main.cpp checks), with
// an snmpd on 127.0.0.1:161 and the trap port free.

#include "AgentHost.h"
#include "Operator.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace brellan::lan {
namespace {

const QString loopback = QStringLiteral("127.0.0.1");

bool sendLoopbackTrap(const QString& trapOid)
{
    QProcess snmptrap;
    snmptrap.start("snmptrap", {"-v", "2c", "-c", "mervik", "127.0.0.1:162", "", trapOid});
    return snmptrap.waitForFinished(10000) && snmptrap.exitStatus() == QProcess::NormalExit
           && snmptrap.exitCode() == 0;
}

// Fills the window by hand over loopback: one row, a walk, two trap lines.
void fillOverLoopback(Operator& op, const QString& trapOid)
{
    op.addAgent(loopback, QStringLiteral("loopback-agent"));
    ASSERT_TRUE(op.clickAgentRow(loopback));
    ASSERT_TRUE(Operator::waitFor([&] { return op.systemValues()[6] == "72"; }, 20000));
    ASSERT_TRUE(Operator::waitFor([&] { return op.status() == "Result: 1.3.6.1.2.1.1.8.0 [OK]"; }, 20000))
        << op.status().toStdString();
    const qsizetype lines = op.trapLines().size();
    ASSERT_TRUE(sendLoopbackTrap(trapOid));
    ASSERT_TRUE(Operator::waitFor([&] { return op.trapLines().size() == lines + 1; }, 10000));
}

TEST(NoRoute, FindAgentsReportsTheErrorAndTheWindowGoesOn)
{
    Operator op;
    ASSERT_TRUE(op.windowActive());
    ASSERT_EQ(op.engine().boundTrapPort(), 162) << op.engine().trapReceiverProblem().toStdString();
    fillOverLoopback(op, "1.3.6.1.6.3.1.1.5.1");
    const QStringList linesBefore = op.trapLines();
    const std::array<QString, 7> valuesBefore = op.systemValues();
    const QString statusBefore = op.status();

    op.clickFindAgents();
    ASSERT_TRUE(Operator::waitFor([&] { return !op.seenBoxes().empty(); }, 10000)) << "no message box";

    const SeenBox& box = op.seenBoxes().front();
    EXPECT_EQ(box.title, "Brellan");
    EXPECT_TRUE(box.text.startsWith("Could not search for agents: Cannot send the broadcast request to "
                                    "255.255.255.255: "))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains("unreachable", Qt::CaseInsensitive)) << box.text.toStdString();
    EXPECT_EQ(op.seenBoxes().size(), 1u);
    std::cout << "[ NO ROUTE ] the box said: " << box.text.toStdString() << std::endl;

    // The search empties the list before it sends; everything else stays.
    EXPECT_TRUE(op.form().isVisible());
    EXPECT_TRUE(op.rows().empty());
    EXPECT_EQ(op.trapLines(), linesBefore);
    EXPECT_EQ(op.systemValues(), valuesBefore);
    EXPECT_EQ(op.status(), statusBefore);
    EXPECT_EQ(op.engine().counters().requests, 8u) << "the failed broadcast counts as no request";

    // And the window still works: a row, a walk and a trap as before.
    op.clearSystemValues();
    fillOverLoopback(op, "1.3.6.1.6.3.1.1.5.4");
    EXPECT_EQ(op.rows().size(), 1u);
    EXPECT_EQ(op.trapLines(), linesBefore + QStringList{"127.0.0.1 linkUp"});
    EXPECT_EQ(op.systemValues()[4], "loopback-agent");
}

} // namespace
} // namespace brellan::lan
