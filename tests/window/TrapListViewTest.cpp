// SPDX-License-Identifier: GPL-3.0-or-later
// The trap list's view: rows placed by their number, the newest line kept
// in sight while the view is at its end and left alone once the operator
// has scrolled up, and each row still read out as a list's item.

#include "TrapListModel.h"
#include "TrapListView.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace brellan::test {
namespace {

class TrapListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.setModel(&model);
        view.resize(385, 43); // lstTrapList's size at 96 DPI
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    void appendLines(int count)
    {
        for (int i = 0; i < count; ++i)
            model.append("10.0." + std::to_string(model.lineCount()) + " linkUp");
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), static_cast<int>(model.lineCount()), 10000);
    }

    QString topLine() const { return view.indexAt(QPoint(4, 1)).data().toString(); }

    bool lastLineInSight() const
    {
        return view.viewport()->rect().contains(view.visualRect(model.index(model.rowCount() - 1)));
    }

    TrapListModel model;
    TrapListView view;
};

TEST_F(TrapListViewTest, FollowsTheNewestLineOnlyWhileScrolledToTheEnd)
{
    appendLines(3000);
    EXPECT_TRUE(lastLineInSight());

    view.verticalScrollBar()->setValue(100); // the operator scrolls up
    EXPECT_EQ(topLine(), "10.0.100 linkUp");
    appendLines(500);
    EXPECT_EQ(topLine(), "10.0.100 linkUp");
    EXPECT_FALSE(lastLineInSight());

    const QRect second = view.visualRect(model.index(101));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second.center()); // picks a line
    ASSERT_EQ(view.selectionModel()->selectedIndexes().size(), 1);
    EXPECT_EQ(view.selectionModel()->selectedIndexes().front().row(), 101);

    QTest::keyClick(&view, Qt::Key_End); // and goes back to the end
    EXPECT_EQ(view.currentIndex().row(), 3499);
    appendLines(10);
    EXPECT_TRUE(lastLineInSight());
    EXPECT_EQ(view.currentIndex().row(), 3499);
}

TEST_F(TrapListViewTest, ScreenReadersReadItAsAListOfLines)
{
    appendLines(2);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_NE(list->tableInterface(), nullptr);
    QAccessibleInterface* cell = list->tableInterface()->cellAt(1, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "10.0.1 linkUp");
}

} // namespace
} // namespace brellan::test
