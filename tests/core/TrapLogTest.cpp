// SPDX-License-Identifier: GPL-3.0-or-later
// The trap log: one line per trap with a known generic code.
#include "ManagerFixture.h"

#include <climits>

namespace brellan {
namespace {

using TrapLog = test::ManagerFixture;
using Lines = std::vector<std::string>;

TEST_F(TrapLog, EveryGenericCodeHasItsLine)
{
    for (std::int32_t generic = 0; generic <= 6; ++generic)
        snmp.trap(generic, 12, "10.0.0.7");
    EXPECT_EQ(state.trapLines, (Lines{"10.0.0.7 coldStart", "10.0.0.7 warmStart", "10.0.0.7 linkDown",
                                      "10.0.0.7 linkUp", "10.0.0.7 authenticationFailure",
                                      "10.0.0.7 egpNeighborLoss", "10.0.0.7 enterpriseSpecific: 12"}));
}

TEST_F(TrapLog, UnknownGenericCodesAddNoLine)
{
    for (const std::int32_t generic : {7, -1, 65536, INT32_MIN})
        snmp.trap(generic, 1, "10.0.0.7");
    EXPECT_TRUE(state.trapLines.empty());
}

TEST_F(TrapLog, SpecificCodeIsPrintedAsSentInSignedDecimal)
{
    for (const std::int32_t specific : {0, -5, 32768, 70000, INT32_MAX, INT32_MIN})
        snmp.trap(6, specific, "10.0.0.7");
    EXPECT_EQ(state.trapLines,
              (Lines{"10.0.0.7 enterpriseSpecific: 0", "10.0.0.7 enterpriseSpecific: -5",
                     "10.0.0.7 enterpriseSpecific: 32768", "10.0.0.7 enterpriseSpecific: 70000",
                     "10.0.0.7 enterpriseSpecific: 2147483647", "10.0.0.7 enterpriseSpecific: -2147483648"}));
}

TEST_F(TrapLog, EmptyAddressLeavesTheLeadingSpace)
{
    snmp.trap(0, 0, "");
    EXPECT_EQ(state.trapLines, Lines{" coldStart"});
}

TEST_F(TrapLog, TrapsAreLoggedDuringASearchAndAWalkWithoutTouchingEither)
{
    state.agentRows = {{"10.0.0.5", "sw"}};
    state.selectedRow = 0;
    manager.selectAgent();
    snmp.trap(3, 0, "10.0.0.8");
    manager.findAgents();
    snmp.trap(2, 0, "10.0.0.8");
    EXPECT_EQ(state.trapLines, (Lines{"10.0.0.8 linkUp", "10.0.0.8 linkDown"}));
    EXPECT_EQ(snmp.commands().back(), "SendGet");
    EXPECT_TRUE(manager.discoveryMode);
}

} // namespace
} // namespace brellan
