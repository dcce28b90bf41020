// SPDX-License-Identifier: GPL-3.0-or-later
// The real window over the real UDP engine, against Net-SNMP's agent on
// loopback: the operator's path from typing an address to a filled system
// group, and a trap from snmptrap reaching the trap list. All traffic stays
// on 127.0.0.1; the broadcast search is never used here.

#include "NetSnmpAgent.h"
#include "UdpEngine.h"
#include "WindowFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>

#include <chrono>

namespace brellan::test {
namespace {

using namespace std::chrono_literals;

constexpr int patienceMs = 20000;

class EngineWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(agent.isRunning()) << agent.error().toStdString();
        UdpEngine::Settings settings;
        settings.community = "mervik";
        settings.agentPort = agent.port();
        settings.trapPort = 0;
        settings.trapBindAddress = QHostAddress(QHostAddress::LocalHost);
        settings.timing.initialWait = 500ms;
        auto engine = std::make_unique<UdpEngine>(settings);
        this->engine = engine.get();
        form = std::make_unique<Form1>(std::move(engine));
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    QString text(const char* name) const { return form->findChild<QLineEdit*>(name)->text(); }

    NetSnmpAgent agent;
    UdpEngine* engine = nullptr; // owned by the window
    std::unique_ptr<Form1> form;
};

TEST_F(EngineWindowTest, AddingAndSelectingTheLoopbackAgentFillsTheSevenFields)
{
    QTest::keyClicks(form->findChild<QLineEdit*>("txtAddIPAddress"), "127.0.0.1");
    QTest::mouseClick(form->findChild<QPushButton*>("cmdAdd"), Qt::LeftButton);
    auto* list = form->findChild<QTreeWidget*>("lvwAgentList");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    const QRect row = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());

    // sysServices is the last of the seven; the walk then steps out of the group.
    QTRY_COMPARE_WITH_TIMEOUT(text("txtSysServices"), QString("72"), patienceMs);
    EXPECT_FALSE(text("txtSysDescr").isEmpty());
    EXPECT_TRUE(text("txtSysObjectID").startsWith("1.3.6.1.4.1.")) << text("txtSysObjectID").toStdString();
    EXPECT_FALSE(text("txtSysUpTime").isEmpty());
    EXPECT_EQ(text("txtSysContact"), QString::fromStdString(agent.options().sysContact.value()));
    EXPECT_EQ(text("txtSysName"), QString::fromStdString(agent.options().sysName));
    EXPECT_EQ(text("txtSysLocation"), QString::fromStdString(agent.options().sysLocation));
    const auto* status = form->findChild<QLabel*>("lblStatus");
    QTRY_VERIFY_WITH_TIMEOUT(!status->text().startsWith("Result: 1.3.6.1.2.1.1.7.0"), patienceMs);
    EXPECT_TRUE(status->text().startsWith("Result: 1.3.6.1.")) << status->text().toStdString();
    EXPECT_EQ(list->topLevelItemCount(), 1);
}

TEST_F(EngineWindowTest, ATrapFromSnmptrapAppearsInTheTrapList)
{
    ASSERT_NE(engine->boundTrapPort(), 0) << engine->trapReceiverProblem().toStdString();
    QProcess snmptrap;
    snmptrap.start("snmptrap", {"-v", "1", "-c", "mervik", "127.0.0.1:" + QString::number(engine->boundTrapPort()),
                                "1.3.6.1.4.1.8072.2.3", "127.0.0.1", "6", "17", ""});
    ASSERT_TRUE(snmptrap.waitForFinished(patienceMs));
    ASSERT_EQ(snmptrap.exitCode(), 0) << snmptrap.readAllStandardError().toStdString();
    const QAbstractItemModel* model = form->findChild<QListView*>("lstTrapList")->model();
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 1, patienceMs);
    EXPECT_EQ(model->index(0, 0).data().toString(), "127.0.0.1 enterpriseSpecific: 17");
}

} // namespace
} // namespace brellan::test
