// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Module1.h"
#include "SnmpComponent.h"

#include <functional>

namespace brellan {

// Runs one event handler. The window's runner catches what the handler
// raises and tells the operator; runDirectly lets it propagate.
using HandlerRunner = std::function<void(const char* failure, const std::function<void()>& handler)>;

inline void runDirectly(const char*, const std::function<void()>& handler)
{
    handler();
}

// Handles one Trap event. By default the manager's onTrap; the window
// passes its own, which calls onTrap and keeps the trap behind the line
// that call made.
using TrapHandler = std::function<void(std::int32_t genericTrap, std::int32_t specificTrap,
                                       const std::string& agentAddress, const ReceivedTrap& trap)>;

// Wires the component's events to the manager: Response to onResponse,
// Notice to onNotice, Trap to onTrap (or to `handleTrap` when one is given).
// Each handler runs through `run`, whose first argument says what failed if
// it fails.
void connectManager(SnmpComponent& snmp, Module1& manager, HandlerRunner run = runDirectly,
                    TrapHandler handleTrap = {});

} // namespace brellan
