// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConnectManager.h"

#include <utility>

namespace brellan {

void connectManager(SnmpComponent& snmp, Module1& manager, HandlerRunner run, TrapHandler handleTrap)
{
    snmp.Response().connect([&manager, run](std::int32_t errorStatus, const std::string& agentAddress) {
        run("Could not handle an agent's answer", [&] { manager.onResponse(errorStatus, agentAddress); });
    });
    snmp.Notice().connect([&manager, run](const std::string& text) {
        run("Could not show what became of a request", [&] { manager.onNotice(text); });
    });
    if (!handleTrap) {
        handleTrap = [&manager](std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress,
                                const ReceivedTrap&) { manager.onTrap(genericTrap, specificTrap, agentAddress); };
    }
    snmp.Trap().connect([run = std::move(run), handleTrap = std::move(handleTrap)](
                            std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress,
                            const ReceivedTrap& trap) {
        run("Could not log a trap", [&] { handleTrap(genericTrap, specificTrap, agentAddress, trap); });
    });
}

} // namespace brellan
