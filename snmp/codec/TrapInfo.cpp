// SPDX-License-Identifier: GPL-3.0-or-later
// The v1 view of a trap: generic and specific codes and the agent address.

#include "TrapInfo.h"

#include <algorithm>
#include <limits>

namespace brellan::snmp {

namespace {

const Oid snmpTrapOid{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const Oid snmpTrapAddress{1, 3, 6, 1, 6, 3, 18, 1, 3, 0};
// coldStart .. egpNeighborLoss are snmpTraps.1 .. snmpTraps.6.
const Oid snmpTraps{1, 3, 6, 1, 6, 3, 1, 1, 5};
constexpr std::int32_t enterpriseSpecific = 6;

bool isStandardTrap(const Oid& trapOid)
{
    return trapOid.size() == snmpTraps.size() + 1 && std::equal(snmpTraps.begin(), snmpTraps.end(), trapOid.begin())
           && trapOid.back() >= 1 && trapOid.back() <= 6;
}

std::optional<std::array<std::uint8_t, 4>> v2TrapAddress(const std::vector<VarBind>& bindings)
{
    for (const VarBind& binding : bindings) {
        const auto* address = std::get_if<IpAddress>(&binding.value);
        if (binding.oid == snmpTrapAddress && address)
            return address->octets;
    }
    return std::nullopt;
}

// RFC 3584 section 3.2: a standard trap maps to its generic code, any other
// notification to enterpriseSpecific with the last sub-identifier of
// snmpTrapOID.0 as the specific code.
std::optional<TrapInfo> v2TrapInfo(const std::vector<VarBind>& bindings)
{
    // sysUpTime.0 comes first, snmpTrapOID.0 second (RFC 3416 section 4.2.6).
    if (bindings.size() < 2 || bindings[1].oid != snmpTrapOid)
        return std::nullopt;
    const auto* trapOid = std::get_if<ObjectIdentifier>(&bindings[1].value);
    if (!trapOid || trapOid->oid.empty())
        return std::nullopt;

    TrapInfo info;
    const Oid& notification = trapOid->oid;
    if (isStandardTrap(notification)) {
        info.genericTrap = static_cast<std::int32_t>(notification.back()) - 1;
    } else {
        // A v1 specific-trap is INTEGER (0..2147483647). A larger last
        // sub-identifier has no v1 code: the trap is still shown as
        // enterprise-specific, with the largest code v1 can carry.
        info.genericTrap = enterpriseSpecific;
        constexpr std::uint32_t largest = std::numeric_limits<std::int32_t>::max();
        info.specificTrap = static_cast<std::int32_t>(std::min(notification.back(), largest));
    }
    info.agentAddress = v2TrapAddress(bindings);
    return info;
}

} // namespace

std::optional<TrapInfo> trapInfo(const Message& message)
{
    if (const auto* trap = std::get_if<TrapPdu>(&message.pdu)) {
        TrapInfo info;
        info.genericTrap = trap->genericTrap;
        info.specificTrap = trap->specificTrap;
        if (trap->agentAddress != std::array<std::uint8_t, 4>{})
            info.agentAddress = trap->agentAddress;
        return info;
    }
    // An InformRequest is a notification that asks for a Response: the same
    // bindings, the same mapping.
    if (message.type() == PduType::TrapV2 || message.type() == PduType::InformRequest)
        return v2TrapInfo(message.bindings());
    return std::nullopt;
}

} // namespace brellan::snmp
