// SPDX-License-Identifier: GPL-3.0-or-later
#include "Module1.h"

#include "GenericTrap.h"

#include <array>
#include <optional>
#include <string_view>

namespace brellan {
namespace {

constexpr std::string_view sysDescrOid = "1.3.6.1.2.1.1.1.0";
constexpr std::string_view sysNameOid = "1.3.6.1.2.1.1.5.0";
constexpr std::string_view broadcastAddress = "255.255.255.255";
constexpr std::string_view emptyAddressMessage = "Please Supply a valid IP Address for the manager";

struct SystemGroupEntry {
    std::string_view oid;
    SystemObject object;
};

// The system group, in the order the dispatcher tests it.
constexpr std::array<SystemGroupEntry, systemObjectCount> systemGroup{{
    {"1.3.6.1.2.1.1.1.0", SystemObject::sysDescr},
    {"1.3.6.1.2.1.1.2.0", SystemObject::sysObjectID},
    {"1.3.6.1.2.1.1.3.0", SystemObject::sysUpTime},
    {"1.3.6.1.2.1.1.4.0", SystemObject::sysContact},
    {sysNameOid, SystemObject::sysName},
    {"1.3.6.1.2.1.1.6.0", SystemObject::sysLocation},
    {"1.3.6.1.2.1.1.7.0", SystemObject::sysServices},
}};

// Exact, case-sensitive comparison of the whole text: no prefix or numeric match.
std::optional<SystemObject> systemObjectFor(const std::string& oid)
{
    for (const SystemGroupEntry& entry : systemGroup) {
        if (entry.oid == oid)
            return entry.object;
    }
    return std::nullopt;
}

// RFC 1157 error-status values.
std::string statusText(std::int32_t errorStatus)
{
    switch (errorStatus) {
    case 0: return "[OK]";
    case 1: return "[ERROR: tooBig (1)]";
    case 2: return "[ERROR: noSuchName (2)]";
    case 3: return "[ERROR: badValue (3)]";
    case 4: return "[ERROR: readOnly (4)]";
    case 5: return "[ERROR: genError (5)]";
    default: return "[ERROR: unknown code (" + std::to_string(errorStatus) + ")]";
    }
}

// The trap log's text of a trap: its generic code's name, and for an
// enterprise-specific trap its specific code; it starts with the space that
// separates it from the agent's address. None for an unknown generic code.
std::optional<std::string> trapText(std::int32_t genericTrap, std::int32_t specificTrap)
{
    const std::optional<std::string_view> name = genericTrapName(genericTrap);
    if (!name)
        return std::nullopt;
    std::string text = " ";
    text += *name;
    if (genericTrap == enterpriseSpecificTrap)
        text += ": " + std::to_string(specificTrap);
    return text;
}

// Appends a row for `address`, then names that row (the last one) with what
// `readName` gives: the two steps, in that order, of both ways to add an agent.
template <typename ReadName>
void appendNamedRow(ManagerState& state, const std::string& address, ReadName readName)
{
    state.appendAgentRow(address);
    state.setAgentRowName(state.agentRowCount(), readName());
}

} // namespace

void Module1::findAgents()
{
    m_state.clearAgentRows();
    discoveryMode = true;
    sendGet(std::string(sysNameOid), std::string(broadcastAddress));
}

void Module1::addAgent()
{
    if (m_state.addressEntry().empty()) {
        m_state.showMessage(std::string(emptyAddressMessage));
    } else {
        appendNamedRow(m_state, m_state.addressEntry(), [this] { return m_state.nameEntry(); });
    }
    m_state.setAddressEntry({});
    m_state.setNameEntry({});
}

void Module1::selectAgent()
{
    // A click on an empty list or on empty space selects nothing: leave the
    // search and any walk in progress alone and send nothing.
    const std::optional<std::string> address = m_state.selectedAgentAddress();
    if (!address)
        return;
    discoveryMode = false;
    m_snmp.Reset();
    sendGet(std::string(sysDescrOid), *address);
}

void Module1::sendGet(const std::string& oid, const std::string& host)
{
    m_snmp.setVarCount(1);
    m_snmp.setVarOid(1, oid);
    m_snmp.setRemoteHost(host);
    m_snmp.SendGet();
}

void Module1::onResponse(std::int32_t errorStatus, const std::string& agentAddress)
{
    const std::string status = statusText(errorStatus);
    const std::string answered = m_snmp.VarOid(1);
    m_state.setStatusLine("Result: " + answered + " " + status);

    bool continueWalk = true;
    const std::optional<SystemObject> object = systemObjectFor(answered);
    if (!object) {
        continueWalk = false;
    } else if (*object == SystemObject::sysName && discoveryMode) {
        appendNamedRow(m_state, agentAddress, [this] { return m_snmp.VarValue(1); });
        continueWalk = false;
    } else {
        m_state.setSystemValue(*object, m_snmp.VarValue(1));
    }

    if (continueWalk)
        m_snmp.SendGetNext();
}

void Module1::onNotice(const std::string& text)
{
    m_state.setStatusLine(text);
}

void Module1::onTrap(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress)
{
    const std::optional<std::string> text = trapText(genericTrap, specificTrap);
    if (text)
        m_state.appendTrapLine(agentAddress + *text);
}

} // namespace brellan
