// SPDX-License-Identifier: GPL-3.0-or-later
// The window's wiring: buttons, access keys, the agent-list click and the
// component's events reach the manager, the message box, and failures that
// leave the window running.

#include "HandlerGuard.h"
#include "TrapListModel.h"
#include "TrapListView.h"
#include "WindowFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <algorithm>
#include <string>

namespace brellan::test {
namespace {

using EventsTest = WindowFixture;

const std::vector<std::string> searchCommands{"VarCount=1", "VarOid(1)=1.3.6.1.2.1.1.5.0",
                                              "RemoteHost=255.255.255.255", "SendGet"};

QString text(const QWidget* widget)
{
    if (const auto* box = qobject_cast<const QLineEdit*>(widget))
        return box->text();
    return qobject_cast<const QLabel*>(widget)->text();
}

TEST_F(EventsTest, FindAgentsByClickAndByAltFRunTheSameSearch)
{
    QTest::mouseClick(control("cmdFind"), Qt::LeftButton);
    EXPECT_EQ(snmp->commands(), searchCommands);
    snmp->answer("1.3.6.1.2.1.1.5.0", "alpha", 0, "10.0.0.7");
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 1) << "the search takes answers";

    snmp->calls.clear();
    QTest::keyClick(control("txtSysContact"), Qt::Key_F, Qt::AltModifier);
    // The access key clicks the button, whose click arrives from a short animation.
    QTRY_COMPARE_WITH_TIMEOUT(snmp->commands().size(), searchCommands.size(), 10000);
    EXPECT_EQ(snmp->commands(), searchCommands);
}

TEST_F(EventsTest, AltAAddsTheTypedAgentAndClearsBothEntries)
{
    QTest::keyClicks(control("txtAddIPAddress"), "127.0.0.1");
    QTest::keyClicks(control("txtAddsysName"), "loopback");
    QTest::keyClick(control("txtAddsysName"), Qt::Key_A, Qt::AltModifier);
    auto* list = control<QTreeWidget>("lvwAgentList");
    QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 1, 10000);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "127.0.0.1");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "loopback");
    EXPECT_TRUE(text(control("txtAddIPAddress")).isEmpty());
    EXPECT_TRUE(text(control("txtAddsysName")).isEmpty());
    EXPECT_TRUE(snmp->calls.empty()) << "adding sends nothing";
}

TEST_F(EventsTest, EnterAndEscapeTriggerNeitherButton)
{
    MessageBoxCloser closer;
    QTest::keyClicks(control("txtAddIPAddress"), "10.0.0.7");
    for (const char* name : {"txtAddIPAddress", "cmdFind", "cmdAdd"}) {
        control(name)->setFocus();
        QTest::keyClick(control(name), Qt::Key_Return);
        QTest::keyClick(control(name), Qt::Key_Enter);
        QTest::keyClick(control(name), Qt::Key_Escape);
    }
    QTest::qWait(300); // longer than a button's click animation
    EXPECT_TRUE(snmp->calls.empty());
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 0);
    EXPECT_EQ(text(control("txtAddIPAddress")), "10.0.0.7");
    EXPECT_TRUE(closer.seen.empty());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(EventsTest, AddingWithoutAnAddressShowsTheModalMessageAndClearsTheName)
{
    MessageBoxCloser closer;
    QTest::keyClicks(control("txtAddsysName"), "lost name");
    QTest::mouseClick(control("cmdAdd"), Qt::LeftButton);

    ASSERT_EQ(closer.seen.size(), 1U);
    const SeenMessageBox& box = closer.seen.front();
    EXPECT_EQ(box.text, "Please Supply a valid IP Address for the manager");
    EXPECT_EQ(box.title, "Brellan");
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttonCount, 1);
    EXPECT_TRUE(box.hasOkButton);
    EXPECT_EQ(box.modality, Qt::ApplicationModal);
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 0);
    EXPECT_TRUE(text(control("txtAddsysName")).isEmpty());
}

TEST_F(EventsTest, SearchAnswersBecomeRowsAndSelectingARowWalksItsSystemGroup)
{
    QTest::mouseClick(control("cmdFind"), Qt::LeftButton);
    snmp->answer("1.3.6.1.2.1.1.5.0", "alpha", 0, "10.0.0.7");
    snmp->answer("1.3.6.1.2.1.1.5.0", "beta", 0, "10.0.0.9");
    auto* list = control<QTreeWidget>("lvwAgentList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "10.0.0.9");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "beta");
    EXPECT_EQ(text(control("lblStatus")), "Result: 1.3.6.1.2.1.1.5.0 [OK]");

    snmp->calls.clear();
    clickAgentRow(1);
    EXPECT_EQ(snmp->commands(), (std::vector<std::string>{"Reset", "VarCount=1", "VarOid(1)=1.3.6.1.2.1.1.1.0",
                                                          "RemoteHost=10.0.0.9", "SendGet"}));

    const std::string longDescription(40000, 'd');
    // sysObjectID under 2.999, the arc kept for examples: no name, so its box shows it as it came.
    const char* const walk[][3] = {
        {"1.3.6.1.2.1.1.1.0", "", "txtSysDescr"},          {"1.3.6.1.2.1.1.2.0", "2.999.3", "txtSysObjectID"},
        {"1.3.6.1.2.1.1.3.0", "4711", "txtSysUpTime"},     {"1.3.6.1.2.1.1.4.0", "ops@zürich", "txtSysContact"},
        {"1.3.6.1.2.1.1.5.0", "beta", "txtSysName"},       {"1.3.6.1.2.1.1.6.0", "rack 3", "txtSysLocation"},
        {"1.3.6.1.2.1.1.7.0", "72", "txtSysServices"},
    };
    for (const auto& step : walk) {
        const std::string value = step[0] == std::string("1.3.6.1.2.1.1.1.0") ? longDescription : step[1];
        snmp->answer(step[0], value, 0, "10.0.0.9");
        EXPECT_EQ(text(control(step[2])), QString::fromStdString(value)) << step[2];
        EXPECT_EQ(control<QLineEdit>(step[2])->cursorPosition(), 0) << "a long value shows its beginning";
    }
    EXPECT_EQ(list->topLevelItemCount(), 2) << "a walk's sysName fills the field, not a row";
    EXPECT_EQ(std::count(snmp->calls.begin(), snmp->calls.end(), "SendGetNext"), 7);
}

// The ObjectID box shows the number the agent sent, then its name where one
// is known, also when the names arrive after the box was filled; the status
// line, which a walk's matching reads, and the other boxes keep numbers.
TEST_F(EventsTest, TheObjectIdBoxNamesTheNumberItShows)
{
    snmp->answer("1.3.6.1.2.1.1.2.0", "1.3.6.1.4.1.9.1.516", 0, "10.0.0.9");
    EXPECT_EQ(text(control("txtSysObjectID")), "1.3.6.1.4.1.9.1.516 (SNMPv2-SMI::enterprises.9.1.516)")
        << "the built-in names know the arc only";

    auto loaded = std::make_shared<names::NameIndex>();
    loaded->add({1, 3, 6, 1, 4, 1, 9}, {"", "ciscoSystems", {}});
    loaded->add({1, 3, 6, 1, 4, 1, 8072, 3, 2, 10}, {"NET-SNMP-TC", "linux", {}});
    form->useNames(loaded);
    EXPECT_EQ(text(control("txtSysObjectID")), "1.3.6.1.4.1.9.1.516 (enterprises.ciscoSystems.1.516)");

    snmp->answer("1.3.6.1.2.1.1.2.0", "1.3.6.1.4.1.8072.3.2.10", 0, "10.0.0.9");
    EXPECT_EQ(text(control("txtSysObjectID")), "1.3.6.1.4.1.8072.3.2.10 (NET-SNMP-TC::linux)");
    EXPECT_EQ(control<QLineEdit>("txtSysObjectID")->cursorPosition(), 0);
    EXPECT_EQ(text(control("lblStatus")), "Result: 1.3.6.1.2.1.1.2.0 [OK]");
    snmp->answer("1.3.6.1.2.1.1.1.0", "1.3.6.1.4.1.9", 0, "10.0.0.9");
    EXPECT_EQ(text(control("txtSysDescr")), "1.3.6.1.4.1.9");
}

TEST_F(EventsTest, TrapsAppearInTheTrapListInArrivalOrder)
{
    snmp->trap(2, 0, "10.0.0.7");
    snmp->trap(9, 0, "10.0.0.7"); // unknown generic code: no line
    snmp->trap(6, -12, "10.0.0.8");
    const QAbstractItemModel* model = control<QListView>("lstTrapList")->model();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 2, 10000);
    EXPECT_EQ(model->index(0, 0).data().toString(), "10.0.0.7 linkDown");
    EXPECT_EQ(model->index(1, 0).data().toString(), "10.0.0.8 enterpriseSpecific: -12");
}

TEST_F(EventsTest, AFailingSearchIsReportedAndTheWindowKeepsWorking)
{
    MessageBoxCloser closer;
    control<QTreeWidget>("lvwAgentList")->addTopLevelItem(new QTreeWidgetItem(QStringList{"old", "row"}));
    snmp->failingCall = "SendGet";
    QTest::mouseClick(control("cmdFind"), Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), 1U, 10000);
    EXPECT_EQ(closer.seen[0].title, "Brellan");
    EXPECT_EQ(closer.seen[0].text, "Could not search for agents: test failure of SendGet");
    EXPECT_EQ(closer.seen[0].modality, Qt::ApplicationModal);
    EXPECT_TRUE(form->isVisible());
    // Abandoned at the failing call, with the earlier steps kept.
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 0);
    snmp->answer("1.3.6.1.2.1.1.5.0", "late", 0, "10.0.0.5");
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 1)
        << "the search began before the send failed";

    snmp->failingCall.clear();
    QTest::keyClicks(control("txtAddIPAddress"), " ");
    QTest::mouseClick(control("cmdAdd"), Qt::LeftButton);
    ASSERT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 2);
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItem(1)->text(0), " ");
}

TEST_F(EventsTest, AFailureInsideAComponentEventKeepsWhatWasWrittenAndIsReportedAfterwards)
{
    MessageBoxCloser closer;
    snmp->failingCall = "SendGetNext";
    snmp->answer("1.3.6.1.2.1.1.4.0", "ops", 2, "10.0.0.7");
    // The component's event has returned before the box opens.
    EXPECT_TRUE(closer.seen.empty());
    EXPECT_EQ(text(control("txtSysContact")), "ops");
    EXPECT_EQ(text(control("lblStatus")), "Result: 1.3.6.1.2.1.1.4.0 [ERROR: noSuchName (2)]");
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), 1U, 10000);
    EXPECT_EQ(closer.seen[0].text, "Could not handle an agent's answer: test failure of SendGetNext");
    QTest::qWait(50);
    EXPECT_EQ(closer.seen.size(), 1U) << "one failure, one report";
}

TEST_F(EventsTest, ABurstOfFailuresOpensABoundedNumberOfBoxes)
{
    MessageBoxCloser closer;
    snmp->failingCall = "SendGetNext";
    const std::size_t failures = HandlerGuard::maxPending + 12;
    for (std::size_t i = 0; i < failures; ++i)
        snmp->answer("1.3.6.1.2.1.1.1.0", "x", 0, "10.0.0.7");
    QTRY_COMPARE_WITH_TIMEOUT(closer.seen.size(), HandlerGuard::maxPending + 1, 10000);
    EXPECT_EQ(closer.seen.back().text, "12 more failures were not reported one by one.");
    QTest::qWait(50);
    EXPECT_EQ(closer.seen.size(), HandlerGuard::maxPending + 1);
}

TEST_F(EventsTest, TrapReceiverProblemIsShownWithoutBlocking)
{
    const QString problem = "Traps are not received: UDP port 162 is in use.";
    form->showTrapReceiverProblem(problem); // returns at once: the box is not modal
    auto* box = form->findChild<QMessageBox*>("trapReceiverProblem");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->text(), problem);
    EXPECT_TRUE(control("lstTrapList")->toolTip().startsWith(problem + "\n"));
    EXPECT_TRUE(control("lstTrapList")->toolTip().endsWith(TrapListView::keysText()));
    box->close();
}

} // namespace
} // namespace brellan::test
