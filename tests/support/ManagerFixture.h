#pragma once

#include "MemoryState.h"
#include "Module1.h"
#include "RecordingComponent.h"

#include <gtest/gtest.h>

namespace brellan::test {

// A manager over an in-memory state and a recording component, with the
// component's events wired to the handlers as the window wires them.
class ManagerFixture : public ::testing::Test {
protected:
    ManagerFixture()
    {
        snmp.Response().connect(
            [this](std::int32_t status, const std::string& from) { manager.onResponse(status, from); });
        snmp.RequestFailed().connect([this](const std::string& reason) { manager.onRequestFailed(reason); });
        snmp.Trap().connect([this](std::int32_t generic, std::int32_t specific, const std::string& from,
                               const TrapDatagram&) {
            manager.onTrap(generic, specific, from);
        });
    }

    MemoryState state;
    RecordingComponent snmp;
    Module1 manager{state, snmp};
};

} // namespace brellan::test
