// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A message's fields in the order they stand, read with every check that
// decodeMessage makes, for a reader that wants some of them and not a whole
// Message: decodeMessage itself, and a search that looks at thousands of
// kept traps and decodes only the parts it has not seen before.

#include "BerReader.h"
#include "Message.h"

#include <array>
#include <cstdint>
#include <span>

namespace brellan::snmp {

// What walkMessage hands over. The enterprise and the VarBindList are left
// to the visitor, which decodes them or knows from before that they read
// back. Each call may fail, and its failure ends the walk.
class MessageVisitor {
public:
    struct TrapFields {
        std::array<std::uint8_t, 4> agentAddress{};
        std::int32_t genericTrap = 0;
        std::int32_t specificTrap = 0;
        std::uint32_t timeStamp = 0;
        // Where the time-stamp's content lies in the datagram: the field
        // that differs from one trap of an agent to its next.
        std::size_t timeStampOffset = 0;
        std::size_t timeStampSize = 0;
    };
    struct RequestFields {
        std::int32_t requestId = 0;
        std::int32_t errorStatus = 0;
        std::int32_t errorIndex = 0;
        // Where the request-id's content lies in the datagram: it differs
        // from one v2c trap of an agent to its next.
        std::size_t requestIdOffset = 0;
        std::size_t requestIdSize = 0;
    };

    // The version and community, and the PDU that follows.
    virtual Decoded<Consumed> begin(std::int32_t version, std::span<const std::uint8_t> community, PduType type) = 0;
    // A v1 trap's enterprise (an OBJECT IDENTIFIER element), then its other fields.
    virtual Decoded<Consumed> enterprise(const BerElement& oid) = 0;
    virtual Decoded<Consumed> trapFields(const TrapFields& fields) = 0;
    // Any other PDU's three numbers.
    virtual Decoded<Consumed> requestFields(const RequestFields& fields) = 0;
    // The VarBindList: `list` reads its content, which the visitor must read
    // to the end, with readVarBind or by skipping (BerReader::skipToEnd);
    // `bytes` is the whole list, its tag and length first.
    virtual Decoded<Consumed> bindings(BerReader& list, std::span<const std::uint8_t> bytes) = 0;

protected:
    ~MessageVisitor() = default;
};

// Walks one whole datagram. Never throws, never reads outside `datagram`.
Decoded<Consumed> walkMessage(std::span<const std::uint8_t> datagram, MessageVisitor& visitor);

// VarBind ::= SEQUENCE { name ObjectName, value ObjectSyntax }: the next
// binding of a VarBindList.
Decoded<VarBind> readVarBind(BerReader& list);

} // namespace brellan::snmp
