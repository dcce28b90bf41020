// SPDX-License-Identifier: GPL-3.0-or-later
// A keyboard and screen-reader operator: every control has a name that the
// accessibility interface speaks, and the agent list selects by Enter or
// Space as it does by a click, while the arrow keys alone send nothing.

#include "WindowFixture.h"

#include <QAccessible>

#include <string>

namespace brellan::test {
namespace {

using KeyboardTest = WindowFixture;

QString spokenName(QWidget* control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

std::vector<std::string> selection(const std::string& address)
{
    return {"Reset", "VarCount=1", "VarOid(1)=1.3.6.1.2.1.1.1.0", "RemoteHost=" + address, "SendGet"};
}

TEST_F(KeyboardTest, EveryControlIsNamedAndEnterOrSpaceOnTheAgentListSelectsLikeAClick)
{
    const char* const names[][2] = {
        {"cmdFind", "Find Agents"},         {"lvwAgentList", "Agent List"},
        {"cmdAdd", "Add Agent"},            {"txtAddIPAddress", "Agent IP address"},
        {"txtAddsysName", "Agent name"},    {"txtSysDescr", "Description: "},
        {"txtSysObjectID", "ObjectID: "},   {"txtSysUpTime", "UpTime: "},
        {"txtSysContact", "Contact: "},     {"txtSysName", "Name: "},
        {"txtSysLocation", "Location: "},   {"txtSysServices", "Services: "},
        {"lstTrapList", "SNMP Traps"},      {"lblStatus", "Status"},
    };
    for (const auto& [control_, name] : names)
        EXPECT_EQ(spokenName(control(control_)), name) << control_;

    QTest::mouseClick(control("cmdFind"), Qt::LeftButton);
    snmp->answer("1.3.6.1.2.1.1.5.0", "alpha", 0, "10.0.0.7");
    snmp->answer("1.3.6.1.2.1.1.5.0", "beta", 0, "10.0.0.9");
    snmp->calls.clear();

    // Tab from Find Agents reaches the list; the arrow keys move along it.
    control("cmdFind")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* list = control("lvwAgentList");
    ASSERT_EQ(QApplication::focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(snmp->calls.empty()) << "moving along the list starts no walk";

    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(snmp->commands(), selection("10.0.0.9"));

    snmp->calls.clear();
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_TRUE(snmp->calls.empty());
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(snmp->commands(), selection("10.0.0.7"));
}

} // namespace
} // namespace brellan::test
