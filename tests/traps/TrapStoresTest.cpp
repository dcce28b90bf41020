// SPDX-License-Identifier: GPL-3.0-or-later
// The stores behind the trap list: every line comes back as appended, and
// every trap comes back exactly as it was kept, from the open block and
// from sealed, compressed ones.

#include "TrapDetailStore.h"
#include "TrapLineStore.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>

namespace brellan::test {
namespace {

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

auto fieldsOf(const ReceivedTrap& trap)
{
    return std::tie(trap.genericTrap, trap.specificTrap, trap.agentAddress, trap.receivedAt, trap.sourceAddress,
                    trap.sourcePort, trap.datagram);
}

// Every field of the record survives the block's raw layout and zstd: codes
// at the ends of their range, times to the microsecond and out of
// order, IPv6 sources (some with a zone, some as the agent too) among IPv4
// ones, and lines with gaps between them (a line no trap made keeps none).
TEST(TrapDetailStoreTest, FindGivesBackTheTrapThatKeepTook)
{
    constexpr std::size_t traps = 10000; // more than two blocks: sealed ones and the open one
    const auto start = std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    const auto trapOf = [start](std::size_t i) {
        ReceivedTrap trap;
        trap.genericTrap = i % 3 == 0 ? static_cast<std::int32_t>(i % 9) : std::numeric_limits<std::int32_t>::min();
        trap.specificTrap = i % 2 == 0 ? -static_cast<std::int32_t>(i) : std::numeric_limits<std::int32_t>::max();
        trap.agentAddress = static_cast<std::uint32_t>(0x0A000000 + i * 7919);
        trap.receivedAt = start + std::chrono::microseconds(i % 5 == 0 ? -static_cast<std::int64_t>(i) * 977
                                                                                 : static_cast<std::int64_t>(i) * 1013);
        trap.sourceAddress = static_cast<std::uint32_t>(0xC0A80000 + i);
        if (i % 7 == 0) {
            snmp::InetAddress::Ipv6Bytes octets{0xfd, 0x00, 0, 5};
            octets[15] = static_cast<std::uint8_t>(i);
            trap.sourceAddress = snmp::InetAddress::ipv6(octets, i % 2 == 0 ? "eth" + std::to_string(i) : "");
            if (i % 3 == 0)
                trap.agentAddress = trap.sourceAddress;
        }
        trap.sourcePort = static_cast<std::uint16_t>(i * 31);
        trap.datagram.assign(i % 40, static_cast<std::uint8_t>(i));
        return trap;
    };
    TrapDetailStore store;
    for (std::size_t i = 0; i < traps; ++i)
        store.keep(2 * i + 1, trapOf(i));
    EXPECT_EQ(store.keptCount(), traps);
    EXPECT_THROW(store.keep(2 * traps - 1, trapOf(0)), std::invalid_argument) << "lines are kept in order";

    for (std::size_t i = 0; i < traps; ++i) {
        const TrapDetailStore::Found found = store.find(2 * i + 1);
        ASSERT_EQ(found.state, TrapDetailStore::State::Kept) << i;
        ASSERT_EQ(fieldsOf(*found.trap), fieldsOf(trapOf(i))) << i;
        ASSERT_EQ(store.find(2 * i).state, TrapDetailStore::State::NeverKept) << i;
    }
}

} // namespace
} // namespace brellan::test
