// The trap list's model and its store: every line kept in order, announced
// to views in one insertion per pass of the event loop.

#include "TrapLineStore.h"
#include "TrapListModel.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace brellan::test {
namespace {

TEST(TrapListModelTest, ABurstIsAnnouncedInOneInsertionInOrder)
{
    TrapListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        model.append("10.0.0." + std::to_string(i) + " coldStart");
    EXPECT_EQ(model.rowCount(), 0) << "views hear of the burst from the event loop";
    EXPECT_EQ(model.storedCount(), 1000U);

    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 1000, 10000);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 999);
    EXPECT_EQ(model.index(0).data().toString(), "10.0.0.0 coldStart");
    EXPECT_EQ(model.index(999).data().toString(), "10.0.0.999 coldStart");

    model.append("10.0.0.1 linkUp");
    model.append("");
    model.flush();
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 1000);
    EXPECT_EQ(inserted[1][2].toInt(), 1001);
    EXPECT_EQ(model.index(1000).data().toString(), "10.0.0.1 linkUp");
    EXPECT_EQ(model.index(1001).data().toString(), "");
    QTest::qWait(20);
    EXPECT_EQ(inserted.count(), 2) << "nothing is announced twice";
}

TEST(TrapListModelTest, KeepsUtf8TextAndRefusesRowsOutsideTheList)
{
    TrapListModel model;
    model.append("zürich-gw coldStart");
    model.append("x");
    model.flush();
    EXPECT_EQ(model.index(0).data().toString(), QString::fromUtf8("zürich-gw coldStart"));
    EXPECT_EQ(model.line(1), "x");
    EXPECT_FALSE(model.index(2).data().isValid());
    EXPECT_FALSE(model.index(0).data(Qt::EditRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0)) & Qt::ItemIsEditable);
    EXPECT_EQ(model.rowCount(model.index(0)), 0) << "a list has no children";
}

// Lines are stored in blocks of 1024: every line comes back whole across
// the blocks' edges, and none past the last.
TEST(TrapLineStoreTest, LinesComeBackWholeAcrossBlocks)
{
    TrapLineStore store;
    const auto lineOf = [](std::size_t i) { return std::string(i % 7, 'x') + std::to_string(i); };
    for (std::size_t i = 0; i < 2500; ++i)
        store.append(lineOf(i));
    ASSERT_EQ(store.size(), 2500U);
    for (std::size_t i = 0; i < 2500; ++i)
        ASSERT_EQ(store.line(i), lineOf(i)) << i;
    EXPECT_THROW(store.line(2500), std::out_of_range);
}

} // namespace
} // namespace brellan::test
