// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SNMP messages as the engine sends and receives them, and their BER form.
//
// RFC 1157 (SNMPv1), section 4:
//   Message ::= SEQUENCE { version INTEGER { version-1(0) },
//                          community OCTET STRING, data ANY }
//   PDUs ::= CHOICE { get-request [0] GetRequest-PDU, get-next-request [1] ...,
//                     get-response [2] ..., set-request [3] ..., trap [4] Trap-PDU }
//   PDU ::= SEQUENCE { request-id INTEGER, error-status INTEGER,
//                      error-index INTEGER, variable-bindings VarBindList }
//   Trap-PDU ::= [4] IMPLICIT SEQUENCE { enterprise OBJECT IDENTIFIER,
//                      agent-addr NetworkAddress, generic-trap INTEGER,
//                      specific-trap INTEGER, time-stamp TimeTicks,
//                      variable-bindings VarBindList }
//   VarBindList ::= SEQUENCE OF VarBind
//   VarBind ::= SEQUENCE { name ObjectName, value ObjectSyntax }
// RFC 3416 adds SNMPv2-Trap-PDU ::= [7] IMPLICIT PDU, carried by SNMPv2c
// messages (version 1).

#include "Decoded.h"
#include "Oid.h"
#include "Value.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brellan::snmp {

struct VarBind {
    Oid oid;
    Value value;
    bool operator==(const VarBind&) const = default;
};

enum class PduType : std::uint8_t {
    GetRequest = 0xA0,
    GetNextRequest = 0xA1,
    GetResponse = 0xA2,
    SetRequest = 0xA3,
    TrapV1 = 0xA4,
    GetBulkRequest = 0xA5,
    InformRequest = 0xA6,
    TrapV2 = 0xA7,
    Report = 0xA8,
};

inline constexpr std::int32_t versionV1 = 0;
inline constexpr std::int32_t versionV2c = 1;

// Every PDU but the v1 trap: requests, responses, v2 traps and informs.
// (GetBulkRequest carries non-repeaters and max-repetitions in the two
// error fields.)
struct Pdu {
    PduType type = PduType::GetRequest; // never TrapV1
    std::int32_t requestId = 0;
    std::int32_t errorStatus = 0;
    std::int32_t errorIndex = 0;
    std::vector<VarBind> bindings;
    bool operator==(const Pdu&) const = default;
};

// The v1 Trap-PDU.
struct TrapPdu {
    Oid enterprise;
    std::array<std::uint8_t, 4> agentAddress{};
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    std::uint32_t timeStamp = 0;
    std::vector<VarBind> bindings;
    bool operator==(const TrapPdu&) const = default;
};

// PDUs ::= CHOICE { ..., trap [4] Trap-PDU, ... }
using Pdus = std::variant<Pdu, TrapPdu>;

struct Message {
    std::int32_t version = versionV1;
    std::string community; // the raw octets
    Pdus pdu;

    PduType type() const;
    const std::vector<VarBind>& bindings() const;
    bool operator==(const Message&) const = default;
};

// Decodes one whole datagram. Never throws, never reads outside `datagram`.
Decoded<Message> decodeMessage(std::span<const std::uint8_t> datagram);

// Encodes any message above (requests, and for tests and tools also
// responses and traps). Throws std::invalid_argument for an object
// identifier that BER cannot carry (see isEncodable), rather than write
// bytes no decoder reads back.
std::vector<std::uint8_t> encodeMessage(const Message& message);

// A v1 GetRequest or GetNextRequest whose bindings carry NULL values.
std::vector<std::uint8_t> encodeRequest(PduType type, std::string_view community, std::int32_t requestId,
                                        const std::vector<Oid>& oids);

} // namespace brellan::snmp
