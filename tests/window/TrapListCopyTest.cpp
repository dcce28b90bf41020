// SPDX-License-Identifier: GPL-3.0-or-later
// The trap list in the window: each line's details reach its tooltip and a
// screen reader, and the operator copies lines, with or without details.

#include "Message.h"
#include "TrapListModel.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QLineEdit>
#include <QListView>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace brellan::test {
namespace {

using TrapListCopyTest = WindowFixture;

ReceivedTrap datagramOf(std::vector<std::uint8_t> bytes, std::uint32_t source)
{
    ReceivedTrap trap;
    trap.receivedAt = std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    trap.sourceAddress = source;
    trap.sourcePort = 1162;
    trap.datagram = std::move(bytes);
    return trap;
}

std::vector<std::uint8_t> v1Trap(std::array<std::uint8_t, 4> agent, std::int32_t generic, std::int32_t specific)
{
    snmp::TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3};
    trap.agentAddress = agent;
    trap.genericTrap = generic;
    trap.specificTrap = specific;
    trap.bindings.push_back({{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2}, snmp::Integer{2}});
    trap.bindings.push_back({{1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 2}, snmp::Integer{2}});
    return snmp::encodeMessage(snmp::Message{snmp::versionV1, "public", trap});
}

QString clipboard()
{
    return QGuiApplication::clipboard()->text();
}

TEST_F(TrapListCopyTest, EveryLineCopiesAloneOrWithItsDetails)
{
    snmp->trap(6, 12, "10.0.0.7", datagramOf(v1Trap({10, 0, 0, 7}, 6, 12), 0x0A000009));
    snmp->trap(9, 0, "10.0.0.7", datagramOf(v1Trap({10, 0, 0, 7}, 9, 0), 0x0A000007)); // no line
    snmp->trap(2, 0, "10.0.0.8", datagramOf(v1Trap({10, 0, 0, 8}, 2, 0), 0x0A000008));
    auto* list = control<QListView>("lstTrapList");
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 2, 10000);
    EXPECT_TRUE(list->toolTip().contains("Ctrl+C")) << list->toolTip().toStdString();
    EXPECT_TRUE(list->toolTip().contains("Ctrl+Shift+C")) << list->toolTip().toStdString();

    // What a screen reader speaks after the line: its details.
    QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(list)->tableInterface()->cellAt(0, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "10.0.0.7 enterpriseSpecific: 12");
    const QString spoken = cell->text(QAccessible::Description);
    EXPECT_TRUE(spoken.contains("\nFrom: 10.0.0.9, UDP port 1162\nThe trap names 10.0.0.7 as its agent but came from"))
        << spoken.toStdString();
    EXPECT_TRUE(spoken.contains("\nCommunity: public\n")) << spoken.toStdString();
    EXPECT_TRUE(spoken.endsWith("\nIF-MIB::ifOperStatus.2 = INTEGER: down(2)")) << spoken.toStdString();
    EXPECT_TRUE(list->model()->index(0, 0).data(Qt::ToolTipRole).toString().contains("came from 10.0.0.9"));

    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard().toStdString(), "10.0.0.7 enterpriseSpecific: 12\n10.0.0.8 linkDown");

    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    const QString withDetails = clipboard();
    EXPECT_TRUE(withDetails.startsWith("10.0.0.7 enterpriseSpecific: 12\n    Received: ")) << withDetails.toStdString();
    EXPECT_TRUE(withDetails.contains("\n    Generic trap: 6 (enterpriseSpecific)\n    Specific trap: 12\n"));
    // The community is the agent's password: a copy, meant for others, gives its length only.
    EXPECT_TRUE(withDetails.contains("\n    Community: 6 octets, not copied\n")) << withDetails.toStdString();
    EXPECT_FALSE(withDetails.contains("public")) << withDetails.toStdString();
    // Each name in the copy keeps its number beside it, for a ticket searched either way.
    const QString operStatus = "\n    IF-MIB::ifOperStatus.2 (1.3.6.1.2.1.2.2.1.8.2) = INTEGER: down(2)";
    EXPECT_TRUE(withDetails.contains("\n    IF-MIB::ifIndex.2 (1.3.6.1.2.1.2.2.1.1.2) = INTEGER: 2" + operStatus + "\n\n10.0.0.8 linkDown\n    Received: "));
    EXPECT_TRUE(withDetails.endsWith("\n    Generic trap: 2 (linkDown)\n    Specific trap: 0\n    Time-stamp: "
                                     "0 days, 00:00:00.00 (0)\n    Variable bindings: 2\n    IF-MIB::ifIndex.2 (1.3.6.1.2.1.2.2.1.1.2) = INTEGER: 2"
                                     + operStatus))
        << withDetails.toStdString();

    // One line, clicked, copies as the list always did; Shift+Up takes the
    // line above it too.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard().toStdString(), "10.0.0.8 linkDown");
    QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard().toStdString(), "10.0.0.7 enterpriseSpecific: 12\n10.0.0.8 linkDown");

    const auto* model = qobject_cast<const TrapListModel*>(list->model());
    ASSERT_NE(model, nullptr);
    const TrapListModel::Copied cut = model->copyRows({{0, 1}}, false, 40);
    EXPECT_EQ(cut.text, "10.0.0.7 enterpriseSpecific: 12");
    EXPECT_EQ(cut.lines, 1U);
    EXPECT_EQ(cut.selected, 2U);
}

// Every line's details are its own trap's, however the traps come: a burst
// raised before the view hears of any line, traps of an unknown generic code
// among them (no line, nothing kept), and traps between the answers of a
// walk, which still fills its fields.
TEST_F(TrapListCopyTest, EveryLineKeepsItsOwnTrapInABurstAndDuringAWalk)
{
    MessageBoxCloser closer;
    int raised = 0;
    std::vector<int> lined; // the number of each trap that made a line, in line order
    const auto raiseTrap = [&](std::int32_t generic) {
        const int number = raised++;
        ReceivedTrap trap = datagramOf(v1Trap({10, 0, 0, 7}, generic, number), 0x0A000007);
        trap.genericTrap = generic;
        trap.specificTrap = number;
        trap.agentAddress = 0x0A000007;
        trap.sourcePort = static_cast<std::uint16_t>(2000 + number);
        snmp->trap(generic, number, "10.0.0.7", trap);
        if (generic != 7)
            lined.push_back(number);
    };
    auto* list = control<QListView>("lstTrapList");
    for (int i = 0; i < 40; ++i)
        raiseTrap(i % 8 == 3 ? 7 : 6);
    ASSERT_EQ(list->model()->rowCount(), 0) << "the burst came before the view heard of any line";

    QTest::keyClicks(control("txtAddIPAddress"), "10.0.0.9");
    QTest::mouseClick(control("cmdAdd"), Qt::LeftButton);
    clickAgentRow(0);
    const std::array<std::pair<const char*, const char*>, 7> walk{{{"1.3.6.1.2.1.1.1.0", "txtSysDescr"},
                                                                   {"1.3.6.1.2.1.1.2.0", "txtSysObjectID"},
                                                                   {"1.3.6.1.2.1.1.3.0", "txtSysUpTime"},
                                                                   {"1.3.6.1.2.1.1.4.0", "txtSysContact"},
                                                                   {"1.3.6.1.2.1.1.5.0", "txtSysName"},
                                                                   {"1.3.6.1.2.1.1.6.0", "txtSysLocation"},
                                                                   {"1.3.6.1.2.1.1.7.0", "txtSysServices"}}};
    for (const auto& [oid, box] : walk) {
        snmp->answer(oid, box, 0, "10.0.0.9");
        raiseTrap(std::string_view(box) == "txtSysName" ? 7 : 6);
    }
    for (const auto& [oid, box] : walk)
        EXPECT_EQ(control<QLineEdit>(box)->text(), box);
    EXPECT_EQ(std::count(snmp->calls.begin(), snmp->calls.end(), "SendGetNext"), 7);

    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), static_cast<int>(lined.size()), 10000);
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QModelIndex line = list->model()->index(row, 0);
        const int number = lined[static_cast<std::size_t>(row)];
        EXPECT_EQ(line.data().toString(), QStringLiteral("10.0.0.7 enterpriseSpecific: %1").arg(number));
        const QString details = line.data(Qt::AccessibleDescriptionRole).toString();
        EXPECT_TRUE(details.contains(QStringLiteral("UDP port %1\n").arg(2000 + number))) << details.toStdString();
        EXPECT_TRUE(details.contains(QStringLiteral("Specific trap: %1\n").arg(number))) << details.toStdString();
    }
    EXPECT_TRUE(closer.seen.empty()) << "no handler failed";
}

} // namespace
} // namespace brellan::test
