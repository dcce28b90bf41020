// SPDX-License-Identifier: GPL-3.0-or-later
// The window as the operator first sees it: places, captions, fixed texts,
// creation order, tab order, window kind and the agent list's column rule.

#include "WindowFixture.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

namespace brellan::test {
namespace {

using LayoutTest = WindowFixture;

struct ExpectedPlace {
    const char* name;
    const char* container;
    QRect pixels; // at 96 DPI: the designer's twips / 15, rounded
};

// Written out by hand from the designer's twips table.
const ExpectedPlace expectedPlaces[] = {
    {"lstTrapList", "Form1", {0, 416, 385, 43}},
    {"Frame2", "Form1", {0, 56, 385, 121}},
    {"cmdFind", "Frame2", {8, 56, 89, 23}},
    {"txtAddIPAddress", "Frame2", {104, 88, 121, 21}},
    {"cmdAdd", "Frame2", {8, 88, 89, 23}},
    {"txtAddsysName", "Frame2", {232, 88, 129, 21}},
    {"lvwAgentList", "Frame2", {104, 16, 257, 65}},
    {"Frame1", "Form1", {0, 184, 385, 209}},
    {"txtSysDescr", "Frame1", {96, 24, 267, 21}},
    {"txtSysObjectID", "Frame1", {96, 48, 267, 21}},
    {"txtSysUpTime", "Frame1", {96, 72, 267, 21}},
    {"txtSysContact", "Frame1", {96, 96, 267, 21}},
    {"txtSysName", "Frame1", {96, 120, 267, 21}},
    {"txtSysLocation", "Frame1", {96, 144, 267, 21}},
    {"txtSysServices", "Frame1", {96, 168, 267, 21}},
    {"OIDName6", "Frame1", {8, 168, 67, 17}},
    {"OIDName5", "Frame1", {8, 144, 67, 17}},
    {"OIDName4", "Frame1", {8, 120, 67, 17}},
    {"OIDName3", "Frame1", {8, 96, 67, 17}},
    {"OIDName2", "Frame1", {8, 72, 67, 17}},
    {"OIDName1", "Frame1", {8, 48, 67, 17}},
    {"OIDName0", "Frame1", {8, 24, 67, 17}},
    {"Label2", "Form1", {8, 8, 385, 41}},
    {"Label1", "Form1", {8, 400, 89, 17}},
    {"lblStatus", "Form1", {192, 400, 200, 17}},
};

QStringList namedChildren(const QWidget* container)
{
    QStringList names;
    for (const QObject* child : container->children()) {
        if (child->isWidgetType() && !child->objectName().isEmpty())
            names << child->objectName();
    }
    return names;
}

TEST_F(LayoutTest, EveryControlSitsAtItsPlaceInItsContainerAt96Dpi)
{
    ASSERT_EQ(form->logicalDpiX(), 96);
    ASSERT_EQ(form->logicalDpiY(), 96);
    EXPECT_EQ(form->size(), QSize(386, 460));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the operator cannot resize the window";
    for (const ExpectedPlace& place : expectedPlaces) {
        const QWidget* widget = control(place.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(place.container)) << place.name;
        EXPECT_EQ(widget->geometry(), place.pixels) << place.name;
    }
}

TEST_F(LayoutTest, ControlsAreCreatedInTheDesignersOrder)
{
    EXPECT_EQ(namedChildren(form.get()),
              QStringList({"lstTrapList", "Frame2", "Frame1", "Label2", "Label1", "lblStatus", "findBar"}));
    EXPECT_EQ(namedChildren(control("Frame2")),
              QStringList({"cmdFind", "txtAddIPAddress", "cmdAdd", "txtAddsysName", "lvwAgentList"}));
    EXPECT_EQ(namedChildren(control("Frame1")),
              QStringList({"txtSysDescr", "txtSysObjectID", "txtSysUpTime", "txtSysContact", "txtSysName",
                           "txtSysLocation", "txtSysServices", "OIDName6", "OIDName5", "OIDName4", "OIDName3",
                           "OIDName2", "OIDName1", "OIDName0"}));
}

TEST_F(LayoutTest, CaptionsAndFixedTextsAreExact)
{
    EXPECT_EQ(form->windowTitle(), "Brellan");
    EXPECT_EQ(control<QPushButton>("cmdFind")->text(), "&Find Agents");
    EXPECT_EQ(control<QPushButton>("cmdAdd")->text(), "&Add Agent");
    EXPECT_EQ(control<QGroupBox>("Frame2")->title(), "Agent List");
    EXPECT_EQ(control<QGroupBox>("Frame1")->title(), "System Values");
    EXPECT_EQ(control<QLabel>("Label1")->text(), "SNMP Traps");
    EXPECT_EQ(control<QLabel>("Label2")->text(),
              "This demo shows how to create a basic Brellan.  To start, click 'Find Agents' to find the SNMP "
              "agents on your LAN, or add an SNMP agent at a specified IP address.  Then select the Agent in the "
              "'Agent List Box' to retrieve system values.");
    const char* const captions[] = {"Description: ", "ObjectID: ", "UpTime: ", "Contact: ",
                                    "Name: ",        "Location: ", "Services: "};
    for (int index = 0; index < 7; ++index) {
        const QByteArray name = "OIDName" + QByteArray::number(index);
        const auto* label = control<QLabel>(name.constData());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), captions[index]) << name.constData();
        EXPECT_TRUE(label->alignment() & Qt::AlignRight) << name.constData();
    }
    const QTreeWidgetItem* header = control<QTreeWidget>("lvwAgentList")->headerItem();
    ASSERT_EQ(header->columnCount(), 2);
    EXPECT_EQ(header->text(0), "IPAddress");
    EXPECT_EQ(header->text(1), "sysName");
}

TEST_F(LayoutTest, LabelsUseTheSystemColoursAndAlignment)
{
    const auto* help = control<QLabel>("Label2");
    EXPECT_TRUE(help->wordWrap());
    EXPECT_EQ(help->foregroundRole(), QPalette::Highlight);
    const auto* status = control<QLabel>("lblStatus");
    EXPECT_EQ(status->foregroundRole(), QPalette::WindowText);
    EXPECT_TRUE(status->alignment() & Qt::AlignRight);
}

TEST_F(LayoutTest, FixedTextsFitTheirLabelsAndTheStatusEndsInsideTheWindow)
{
    const auto fits = [](const QLabel* label, int flags) {
        const QRect box = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(box, flags, label->text());
        return needed.width() <= box.width() && needed.height() <= box.height();
    };
    for (int index = 0; index < 7; ++index) {
        const QByteArray name = "OIDName" + QByteArray::number(index);
        EXPECT_TRUE(fits(control<QLabel>(name.constData()), 0)) << name.constData();
    }
    EXPECT_TRUE(fits(control<QLabel>("Label1"), 0));
    EXPECT_TRUE(fits(control<QLabel>("Label2"), Qt::TextWordWrap)) << "the help text is cut off";

    // The status label reaches past the window's right edge; its text must not.
    for (const char* name : {"lblStatus", "Label2"}) {
        const auto* label = control<QLabel>(name);
        EXPECT_LE(label->mapTo(form.get(), label->contentsRect().topRight()).x(), form->rect().right()) << name;
    }
}

TEST_F(LayoutTest, EverythingStartsEmpty)
{
    for (const QLineEdit* box : form->findChildren<QLineEdit*>())
        EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
    EXPECT_TRUE(control<QLabel>("lblStatus")->text().isEmpty());
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 0);
    EXPECT_EQ(control<QListView>("lstTrapList")->model()->rowCount(), 0);
    EXPECT_TRUE(snmp->calls.empty()) << "nothing is sent at start";
    snmp->answer("1.3.6.1.2.1.1.5.0", "stray", 0, "10.0.0.7");
    EXPECT_EQ(control<QTreeWidget>("lvwAgentList")->topLevelItemCount(), 0) << "no search is under way at start";
}

TEST_F(LayoutTest, AgentListIsAnUnsortedSingleSelectionReportList)
{
    const auto* list = control<QTreeWidget>("lvwAgentList");
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    const auto* traps = control<QListView>("lstTrapList");
    EXPECT_TRUE(traps->uniformItemSizes());
}

TEST_F(LayoutTest, TabMovesFocusInTheDesignersOrderAndWrapsAround)
{
    const QStringList order{"cmdFind",        "lvwAgentList", "cmdAdd",        "txtAddIPAddress", "txtAddsysName",
                            "txtSysDescr",    "txtSysObjectID", "txtSysUpTime", "txtSysContact",   "txtSysName",
                            "txtSysLocation", "txtSysServices", "lstTrapList",  "cmdFind"};
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype step = 1; step < order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, order);
}

TEST_F(LayoutTest, ColumnsTakeFortyNinePercentEachAtStartAndAfterEveryResize)
{
    auto* list = control<QTreeWidget>("lvwAgentList");
    EXPECT_EQ(list->columnWidth(0), 126); // round(0.49 * 257)
    EXPECT_EQ(list->columnWidth(1), 126);

    list->resize(300, list->height());
    list->setColumnWidth(0, 10);
    QResizeEvent resize(form->size(), form->size());
    QApplication::sendEvent(form.get(), &resize);
    EXPECT_EQ(list->columnWidth(0), 147); // round(0.49 * 300)
    EXPECT_EQ(list->columnWidth(1), 147);
}

TEST_F(LayoutTest, WindowIsAFixedToolWindowWithoutMinimiseOrMaximise)
{
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_EQ(form->windowType(), Qt::Tool) << "no task-bar entry of its own";
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(LayoutTest, ClosingTheWindowEndsTheProgram)
{
    bool lastWindowClosed = false;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, form.get(), [&] { lastWindowClosed = true; });
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    // Bounded: if closing does not end the loop, the safety timer does, with a failure code.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    safety.start(30000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(lastWindowClosed);
}

} // namespace
} // namespace brellan::test
