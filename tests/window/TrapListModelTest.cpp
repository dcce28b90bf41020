// SPDX-License-Identifier: GPL-3.0-or-later
// The trap list's model: every line kept in order, announced to views in
// one insertion per pass of the event loop, and its details read back.

#include "Message.h"
#include "TrapDetailsText.h"
#include "TrapListModel.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace brellan::test {
namespace {

TEST(TrapListModelTest, ABurstIsAnnouncedInOneInsertionInOrder)
{
    TrapListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        model.append("10.0.0." + std::to_string(i) + " coldStart");
    EXPECT_EQ(model.rowCount(), 0) << "views hear of the burst from the event loop";
    EXPECT_EQ(model.lineCount(), 1000U);

    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 1000, 10000);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 999);
    EXPECT_EQ(model.index(0).data().toString(), "10.0.0.0 coldStart");
    EXPECT_EQ(model.index(999).data().toString(), "10.0.0.999 coldStart");

    model.append("10.0.0.1 linkUp");
    model.append("");
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 1002, 10000);
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
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 2, 10000);
    EXPECT_EQ(model.index(0).data().toString(), QString::fromUtf8("zürich-gw coldStart"));
    EXPECT_EQ(model.line(1), "x");
    EXPECT_FALSE(model.index(2).data().isValid());
    EXPECT_FALSE(model.index(0).data(Qt::EditRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0)) & Qt::ItemIsEditable);
    EXPECT_EQ(model.rowCount(model.index(0)), 0) << "a list has no children";
}

// Traps of 8 KB of random bytes, which do not compress, into a budget of
// 4 MiB: the oldest details are let go, every line stays, a line without
// its details says so, and the traps still kept read back as their own.
TEST(TrapListModelTest, DetailsPastTheirBudgetLetTheOldestGoAndKeepEveryLine)
{
    constexpr std::size_t budget = std::size_t{4} << 20;
    constexpr int traps = 2000;
    TrapListModel model(nullptr, budget);
    std::mt19937 random(7);
    for (int i = 0; i < traps; ++i) {
        snmp::TrapPdu trap;
        trap.enterprise = {1, 3, 6, 1, 4, 1, 8072};
        trap.agentAddress = {10, 0, 0, 9};
        trap.genericTrap = 6;
        trap.specificTrap = i;
        snmp::Octets noise(8000);
        for (std::uint8_t& byte : noise)
            byte = static_cast<std::uint8_t>(random());
        trap.bindings.push_back({{1, 3, 6, 1, 4, 1, 8072, 1}, snmp::OctetString{std::move(noise)}});
        const std::vector<std::uint8_t> bytes = snmp::encodeMessage(snmp::Message{snmp::versionV1, "public", trap});
        model.append("10.0.0.9 enterpriseSpecific: " + std::to_string(i));
        ReceivedTrap received;
        received.sourceAddress = 0x0A000009;
        received.sourcePort = static_cast<std::uint16_t>(1000 + i);
        received.datagram = bytes;
        model.keepTrap(model.lineCount() - 1, received);
    }
    QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), traps, 10000);

    EXPECT_LE(model.details().memoryBytes(), budget);
    const std::size_t letGo = model.details().letGoCount();
    ASSERT_GT(letGo, 0U);
    EXPECT_EQ(letGo + model.details().keptCount(), static_cast<std::size_t>(traps));
    ASSERT_EQ(model.rowCount(), traps);
    EXPECT_EQ(model.index(0).data().toString(), "10.0.0.9 enterpriseSpecific: 0");
    const QString gone = QString::fromStdString(detailsLetGoText());
    EXPECT_EQ(model.index(0).data(Qt::AccessibleDescriptionRole).toString(), gone);
    EXPECT_TRUE(model.index(static_cast<int>(letGo) - 1).data(Qt::ToolTipRole).toString().contains("no longer kept"));
    for (const std::size_t row : {letGo, letGo + 1, std::size_t{traps - 1}}) {
        const QString details = model.index(static_cast<int>(row)).data(Qt::AccessibleDescriptionRole).toString();
        EXPECT_TRUE(details.contains(QStringLiteral("UDP port %1\n").arg(1000 + row))) << details.toStdString();
        EXPECT_TRUE(details.contains(QStringLiteral("Specific trap: %1\n").arg(row))) << details.toStdString();
    }

    // A line that no trap made has no details.
    model.append("tool line");
    EXPECT_EQ(model.detailsText(traps), detailsNeverKeptText());
}

} // namespace
} // namespace brellan::test
