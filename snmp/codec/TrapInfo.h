// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Message.h"

#include <array>
#include <cstdint>
#include <optional>

namespace brellan::snmp {

// Generic and specific trap codes, and the agent address the trap names.
struct TrapInfo {
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    // v1: agent-addr unless 0.0.0.0; v2c: snmpTrapAddress.0 when present.
    std::optional<std::array<std::uint8_t, 4>> agentAddress;
};

// For a v1 Trap-PDU its own fields; for a v2c trap or inform the mapping of RFC 3584
// section 3.2 from snmpTrapOID.0 (1.3.6.1.6.3.1.1.5.1 to .6 give generic
// 0 to 5, anything else generic 6 with the last sub-identifier as the
// specific code). nullopt when the message is no trap or a v2c trap
// without snmpTrapOID.0 as its second binding.
std::optional<TrapInfo> trapInfo(const Message& message);

} // namespace brellan::snmp
