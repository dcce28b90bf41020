// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InetAddress.h"
#include "Message.h"
#include "TrapDetailsText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brellan {

// The lines of a trap's details (trapDetailsText), each made from the
// fields it shows and nothing else, so that a search can look at a line
// once for every trap that has the same fields. trapDetailsText writes
// them in this order: received, source, then either noDatagram,
// undecodable, or the message's lines (for v1 agentElsewhere, version,
// community, agentAddress, enterprise, genericTrap, specificTrap,
// timeStamp; for v2c version, community and the two headerValue lines),
// then bindingCount, one binding line for each of the first
// limits.maxBindings bindings, and notShown when there were more.
class TrapDetailLines {
public:
    TrapDetailLines(const DetailLimits& limits, CommunityShown community, OidNaming naming);

    const DetailLimits& limits() const { return m_limits; }

    static std::string received(std::string_view receivedAt);
    static std::string source(const snmp::InetAddress& address, std::uint16_t port);
    // An IPv4 source's line up to its port, which follows it in decimal.
    static std::string ipv4SourceBeforePort(const snmp::InetAddress& address);
    static std::string noDatagram();
    static std::string undecodable(std::size_t datagramBytes, snmp::DecodeFailure failure);

    // For a v1 trap whose agent-addr is another address than its source.
    static std::optional<std::string> agentElsewhere(std::uint32_t agent, const snmp::InetAddress& source,
                                                     std::uint16_t port);
    static std::string version(std::int32_t version, snmp::PduType type);
    std::string community(std::span<const std::uint8_t> octets) const;
    static std::string agentAddress(std::uint32_t agent);
    std::string enterprise(const snmp::Oid& oid) const;
    static std::string genericTrap(std::int32_t code);
    static std::string specificTrap(std::int32_t code);
    static std::string timeStamp(std::uint32_t ticks);
    static void appendTimeStamp(std::string& text, std::uint32_t ticks);

    // The v2c headers: snmpTrapOID.0 and sysUpTime.0, by the value of the
    // first binding of that object, or nullptr when there is none.
    enum class Header { trapOid, upTime };
    static const snmp::Oid& headerObject(Header header);
    std::string headerValue(Header header, const snmp::Value* value) const;

    static std::string bindingCount(std::size_t bindings);
    // A binding's line: its object, " = ", and its value beside its type.
    std::string binding(const snmp::VarBind& binding) const;
    std::string bindingObject(const snmp::Oid& oid) const;
    std::string bindingValue(const snmp::VarBind& binding) const;
    static std::string notShown(std::size_t bindings);

private:
    DetailLimits m_limits;
    CommunityShown m_community;
    OidNaming m_naming;
};

} // namespace brellan
