// SPDX-License-Identifier: GPL-3.0-or-later
// Finding in the trap list with the keyboard: Ctrl+F opens the field over
// the list, typing finds from the current line, Enter and Shift+Enter step
// round the list, a trap is found by its details, the matches are counted,
// a new keystroke drops the search under way, and Esc gives the list back
// with the line found.

#include "Message.h"
#include "WindowFixture.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

namespace brellan::test {
namespace {

using TrapFindTest = WindowFixture;

ReceivedTrap trapWithCommunity(std::string community)
{
    snmp::TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3};
    trap.agentAddress = {10, 0, 0, 5};
    trap.genericTrap = 3;
    ReceivedTrap received;
    received.sourceAddress = 0x0A000005;
    received.sourcePort = 1162;
    received.datagram = snmp::encodeMessage(snmp::Message{snmp::versionV1, std::move(community), trap});
    return received;
}

TEST_F(TrapFindTest, TheKeysFindStepRoundAndGiveTheListBackWithTheLineFound)
{
    for (int i = 0; i < 9; ++i) {
        if (i == 5)
            snmp->trap(3, 0, "10.0.0.5", trapWithCommunity("north-Ops"));
        else
            form->appendTrapLine("10.0.0." + std::to_string(i) + (i == 2 || i == 7 ? " linkDown" : " coldStart"));
    }
    auto* list = control<QListView>("lstTrapList");
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 9, 10000);
    EXPECT_TRUE(list->toolTip().contains("Ctrl+F") && list->toolTip().contains("Shift+F3")
                && list->toolTip().contains("Esc"))
        << list->toolTip().toStdString();
    list->setFocus();
    list->setCurrentIndex(list->model()->index(4, 0));

    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    auto* field = control<QLineEdit>("txtFind");
    auto* where = control<QLabel>("lblFind");
    ASSERT_TRUE(field->isVisible());
    ASSERT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->parentWidget()->geometry().bottom(), list->geometry().bottom()) << "over the list's bottom";
    EXPECT_EQ(field->accessibleName(), "Find in trap list");

    const auto expectFound = [&](int row, const char* said) {
        QTRY_COMPARE_WITH_TIMEOUT(where->text(), QString::fromLatin1(said), 5000);
        EXPECT_EQ(list->currentIndex().row(), row);
        EXPECT_EQ(list->selectionModel()->selectedIndexes().size(), 1);
        EXPECT_TRUE(list->selectionModel()->isSelected(list->currentIndex()));
        EXPECT_EQ(field->accessibleDescription(), where->text());
    };
    QTest::keyClicks(field, "LINKd");
    expectFound(7, "Line 8 of 9, match 2 of 2");
    QTest::keyClick(field, Qt::Key_Return);
    expectFound(2, "Line 3 of 9, wrapped to the top, match 1 of 2");
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    expectFound(7, "Line 8 of 9, wrapped to the bottom, match 2 of 2");
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier);
    expectFound(2, "Line 3 of 9, match 1 of 2");
    list->setCurrentIndex(list->model()->index(8, 0)); // the last line: the next match is round the end
    QTest::keyClick(field, Qt::Key_F3);
    expectFound(2, "Line 3 of 9, wrapped to the top, match 1 of 2");
    QTest::keyClicks(field, "z");
    QTRY_COMPARE_WITH_TIMEOUT(where->text(), QStringLiteral("No match"), 5000);
    EXPECT_EQ(list->currentIndex().row(), 2) << "no match leaves the line where it was";

    field->clear();
    QTest::keyClicks(field, "h-op"); // only in line 5's community
    expectFound(5, "Line 6 of 9, match 1 of 1");
    field->clear();
    QTest::keyClicks(field, "smi::ENTERPRISES.8072"); // its enterprise, as the details name it
    expectFound(5, "Line 6 of 9, match 1 of 1");

    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(list->currentIndex().row(), 5);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "10.0.0.5 linkUp");

    // F3 on the list opens the field again and finds the next match.
    QTest::keyClick(list, Qt::Key_F3);
    expectFound(5, "Line 6 of 9, wrapped to the top, match 1 of 1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(field->isVisible()) << "Esc on the list closes the field too";
}

// A search through two million lines takes several slices; a keystroke in the
// meantime drops it, so its match never moves the line.
TEST_F(TrapFindTest, AKeystrokeDropsTheSearchUnderWay)
{
    for (int i = 0; i < 2'000'000; ++i)
        form->appendTrapLine("10.0.0.1 linkUp");
    form->appendTrapLine("10.0.0.2 far away");
    auto* list = control<QListView>("lstTrapList");
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 2'000'001, 10000);
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    auto* field = control<QLineEdit>("txtFind");
    auto* where = control<QLabel>("lblFind");

    QTest::keyClicks(field, "far");
    ASSERT_EQ(where->text(), QStringLiteral("Searching\u2026")) << "the first slice does not reach the end";
    QTest::keyClicks(field, "x");
    QTRY_COMPARE_WITH_TIMEOUT(where->text(), QStringLiteral("No match"), 10000);
    EXPECT_EQ(list->currentIndex().row(), 0);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTRY_VERIFY_WITH_TIMEOUT(where->text().startsWith(QStringLiteral("Line 2,000,001 of 2,000,001")), 10000);
    EXPECT_EQ(list->currentIndex().row(), 2'000'000);
    // The matches are counted after the line is found, slice by slice too.
    QTRY_COMPARE_WITH_TIMEOUT(where->text(), QStringLiteral("Line 2,000,001 of 2,000,001, match 1 of 1"), 10000);
}

} // namespace
} // namespace brellan::test
