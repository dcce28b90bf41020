// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ManagerState.h"
#include "SnmpComponent.h"

#include <cstdint>
#include <string>

namespace brellan {

// The manager: the operator's three commands, the response dispatcher that
// turns answers into agent rows or walks the system group, and the trap log.
// It works on the displayed state and the SNMP component it is given and
// holds nothing of its own but the search flag.
//
// Errors are not caught here: an SnmpError from the component leaves the
// handler at the failing call, with what earlier steps changed kept.
class Module1 {
public:
    Module1(ManagerState& state, SnmpComponent& snmp) : m_state(state), m_snmp(snmp) {}

    // True from the start of a search until the operator selects an agent:
    // while it is set, an answer for sysName.0 becomes an agent row.
    bool discoveryMode = false;

    // Broadcast a GetRequest for sysName.0; each answer becomes a row.
    void findAgents();
    // Append the typed address and name as a row, then clear both entries.
    void addAgent();
    // Start a walk of the system group of the selected row's agent.
    void selectAgent();

    // One answer from the component: status line, then the row or field it
    // fills, then the next GetNext while the walk is inside the group.
    void onResponse(std::int32_t errorStatus, const std::string& agentAddress);
    // What the component has to say of a request that ended without an
    // answer to file, or of a finished search: the status line says it, so
    // a stopped walk never reads as the last answer's success.
    void onNotice(const std::string& text);
    // One trap: one line in the trap list, or none for an unknown code.
    void onTrap(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress);

private:
    void sendGet(const std::string& oid, const std::string& host);

    ManagerState& m_state;
    SnmpComponent& m_snmp;
};

} // namespace brellan
