// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ConnectManager.h"
#include "MemoryState.h"
#include "Module1.h"
#include "RecordingComponent.h"

#include <gtest/gtest.h>

namespace brellan::test {

// A manager over an in-memory state and a recording component, with the
// component's events wired to the handlers as the window wires them.
class ManagerFixture : public ::testing::Test {
protected:
    ManagerFixture() { connectManager(snmp, manager); }

    MemoryState state;
    RecordingComponent snmp;
    Module1 manager{state, snmp};
};

} // namespace brellan::test
