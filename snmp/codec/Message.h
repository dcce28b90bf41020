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
//   VarBind ::= SEQUENCE { name ObjectName, value ObjectSyntax }
// RFC 3416 adds SNMPv2-Trap-PDU ::= [7] IMPLICIT PDU, carried by SNMPv2c
// messages (version 1).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brellan::snmp {

// An object identifier as its sub-identifiers.
using Oid = std::vector<std::uint32_t>;

inline constexpr std::size_t maxOidLength = 128;

// Dotted decimal text to sub-identifiers: at least two sub-identifiers, the
// first 0, 1 or 2 (and the second under 40 when the first is 0 or 1), each
// a decimal number up to 2^32-1, at most maxOidLength of them; nothing else
// (no spaces, no leading dot, no empty parts). Anything else: nullopt.
std::optional<Oid> parseOid(std::string_view dotted);
std::string formatOid(const Oid& oid);

enum class ValueType : std::uint8_t {
    Integer,
    OctetString,
    Null,
    ObjectIdentifier,
    IpAddress,
    Counter,
    Gauge,
    TimeTicks,
    Opaque,
    Counter64,
    NoSuchObject,
    NoSuchInstance,
    EndOfMibView,
};

struct Value {
    ValueType type = ValueType::Null;
    // Integer: signed 32-bit. Counter, Gauge, TimeTicks: unsigned 32-bit.
    // Counter64: the same bits as number64, reinterpreted.
    std::int64_t number = 0;
    std::uint64_t number64 = 0; // Counter64 only: the value to read
    // OctetString, IpAddress (4 bytes), Opaque: the content octets.
    std::vector<std::uint8_t> bytes;
    // ObjectIdentifier only.
    Oid oid;

    bool operator==(const Value&) const = default;
};

// The text an operator sees for a value (VarValue): see valueText's comment
// in ValueText.cpp for each syntax.
std::string valueText(const Value& value);

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

struct Message {
    std::int32_t version = versionV1;
    std::string community; // the raw octets
    PduType type = PduType::GetRequest;

    // Every PDU but the v1 trap.
    std::int32_t requestId = 0;
    std::int32_t errorStatus = 0;
    std::int32_t errorIndex = 0;

    // The v1 Trap-PDU.
    Oid enterprise;
    std::array<std::uint8_t, 4> agentAddress{};
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    std::uint32_t timeStamp = 0;

    std::vector<VarBind> bindings;

    bool operator==(const Message&) const = default;
};

// Why a datagram was rejected, and the offset of the byte where it was seen.
enum class DecodeError : std::uint8_t {
    Truncated,        // a tag, length or content runs past its container
    LengthOverflow,   // a length field wider than the reader accepts
    IndefiniteLength, // forbidden in SNMP (RFC 3417 section 8)
    UnexpectedTag,    // not the type the grammar wants here
    IntegerTooLarge,  // wider than its type (X.690 8.3.2 also: not minimal)
    OidTooLong,       // more than maxOidLength sub-identifiers
    SubidTooLarge,    // a sub-identifier over 2^32-1
    NestingTooDeep,
    TrailingBytes,    // content left over inside a container or the datagram
    UnsupportedVersion,
};

struct DecodeFailure {
    DecodeError reason;
    std::size_t offset;
    bool operator==(const DecodeFailure&) const = default;
};

using DecodeResult = std::variant<Message, DecodeFailure>;

// Decodes one whole datagram. Never throws, never reads outside `datagram`.
DecodeResult decodeMessage(std::span<const std::uint8_t> datagram);

// Encodes any message above (requests, and for tests and tools also
// responses and traps). v1 traps use the Trap-PDU fields, the rest the
// request-id/error fields.
std::vector<std::uint8_t> encodeMessage(const Message& message);

// A v1 GetRequest or GetNextRequest whose bindings carry NULL values.
std::vector<std::uint8_t> encodeRequest(PduType type, std::string_view community, std::int32_t requestId,
                                        const std::vector<Oid>& oids);

// Generic and specific trap codes, and the agent address the trap names.
struct TrapInfo {
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    // v1: agent-addr unless 0.0.0.0; v2c: snmpTrapAddress.0 when present.
    std::optional<std::array<std::uint8_t, 4>> agentAddress;
};

// For a v1 Trap-PDU its own fields; for a v2c trap the mapping of RFC 3584
// section 3.2 from snmpTrapOID.0 (1.3.6.1.6.3.1.1.5.1 to .6 give generic
// 0 to 5, anything else generic 6 with the last sub-identifier as the
// specific code). nullopt when the message is no trap or a v2c trap
// without snmpTrapOID.0 as its second binding.
std::optional<TrapInfo> trapInfo(const Message& message);

} // namespace brellan::snmp
