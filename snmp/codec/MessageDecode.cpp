// Decoding of SNMPv1 and SNMPv2c messages from untrusted datagrams.

#include "BerReader.h"
#include "BerTags.h"
#include "Message.h"

namespace brellan::snmp {

namespace {

Value valueOfType(ValueType type)
{
    Value value;
    value.type = type;
    return value;
}

// NULL and the exception values noSuchObject, noSuchInstance, endOfMibView
// ([CONTEXT 0..2] IMPLICIT NULL, RFC 3416): no content at all.
Parsed<Value> decodeEmpty(const BerElement& element, ValueType type)
{
    if (!element.content.empty())
        return DecodeFailure{DecodeError::TrailingBytes, element.contentOffset};
    return valueOfType(type);
}

// OCTET STRING, Opaque ::= [APPLICATION 4] IMPLICIT OCTET STRING, and
// application types this station does not know: the content as it is.
Value decodeBytes(const BerElement& element, ValueType type)
{
    Value value = valueOfType(type);
    value.bytes.assign(element.content.begin(), element.content.end());
    return value;
}

// IpAddress ::= [APPLICATION 0] IMPLICIT OCTET STRING (SIZE (4))
Parsed<std::array<std::uint8_t, 4>> decodeIpAddress(const BerElement& element)
{
    const std::size_t size = element.content.size();
    if (size < 4)
        return DecodeFailure{DecodeError::Truncated, element.contentOffset + size};
    if (size > 4)
        return DecodeFailure{DecodeError::TrailingBytes, element.contentOffset + 4};
    std::array<std::uint8_t, 4> address{};
    std::copy(element.content.begin(), element.content.end(), address.begin());
    return address;
}

// INTEGER (-2147483648..2147483647)
Parsed<Value> decodeInteger(const BerElement& element)
{
    const Parsed<std::int32_t> number = readInteger32(element);
    if (!number.ok())
        return number.failure();
    Value value = valueOfType(ValueType::Integer);
    value.number = *number;
    return value;
}

// Counter ::= [APPLICATION 1] IMPLICIT INTEGER (0..4294967295)
// Gauge ::= [APPLICATION 2] IMPLICIT INTEGER (0..4294967295)
// TimeTicks ::= [APPLICATION 3] IMPLICIT INTEGER (0..4294967295)
Parsed<Value> decodeUnsigned(const BerElement& element, ValueType type)
{
    const Parsed<std::uint32_t> number = readUnsigned32(element);
    if (!number.ok())
        return number.failure();
    Value value = valueOfType(type);
    value.number = *number;
    return value;
}

// Counter64 ::= [APPLICATION 6] IMPLICIT INTEGER (0..18446744073709551615)
Parsed<Value> decodeCounter64(const BerElement& element)
{
    const Parsed<std::uint64_t> number = readUnsigned64(element);
    if (!number.ok())
        return number.failure();
    Value value = valueOfType(ValueType::Counter64);
    value.number64 = *number;
    value.number = static_cast<std::int64_t>(*number);
    return value;
}

Parsed<Value> decodeObjectIdentifier(const BerElement& element)
{
    Parsed<Oid> oid = readOid(element);
    if (!oid.ok())
        return oid.failure();
    Value value = valueOfType(ValueType::ObjectIdentifier);
    value.oid = std::move(*oid);
    return value;
}

// ObjectSyntax ::= CHOICE { simple SimpleSyntax, application-wide ApplicationSyntax }
// SimpleSyntax ::= CHOICE { integer INTEGER, string OCTET STRING,
//                           objectID OBJECT IDENTIFIER, empty NULL }
// ApplicationSyntax ::= CHOICE { address NetworkAddress, counter Counter,
//                                gauge Gauge, ticks TimeTicks, arbitrary Opaque }
// plus Counter64 and the exception values of RFC 3416.
Parsed<Value> decodeValue(const BerElement& element)
{
    switch (element.tag) {
    case tag::integer:
        return decodeInteger(element);
    case tag::octetString:
        return decodeBytes(element, ValueType::OctetString);
    case tag::null:
        return decodeEmpty(element, ValueType::Null);
    case tag::objectIdentifier:
        return decodeObjectIdentifier(element);
    case tag::ipAddress: {
        const Parsed<std::array<std::uint8_t, 4>> address = decodeIpAddress(element);
        if (!address.ok())
            return address.failure();
        return decodeBytes(element, ValueType::IpAddress);
    }
    case tag::counter:
        return decodeUnsigned(element, ValueType::Counter);
    case tag::gauge:
        return decodeUnsigned(element, ValueType::Gauge);
    case tag::timeTicks:
        return decodeUnsigned(element, ValueType::TimeTicks);
    case tag::opaque:
        return decodeBytes(element, ValueType::Opaque);
    case tag::counter64:
        return decodeCounter64(element);
    case tag::noSuchObject:
        return decodeEmpty(element, ValueType::NoSuchObject);
    case tag::noSuchInstance:
        return decodeEmpty(element, ValueType::NoSuchInstance);
    case tag::endOfMibView:
        return decodeEmpty(element, ValueType::EndOfMibView);
    default:
        break;
    }
    // Another primitive application type (NsapAddress, UInteger32, a vendor's
    // own): keep the binding and show its bytes rather than drop the datagram.
    if ((element.tag & tag::classMask) == tag::applicationClass && (element.tag & tag::constructedBit) == 0)
        return decodeBytes(element, ValueType::Opaque);
    return DecodeFailure{DecodeError::UnexpectedTag, element.tagOffset};
}

// VarBind ::= SEQUENCE { name ObjectName, value ObjectSyntax }
Parsed<VarBind> decodeVarBind(BerReader& list)
{
    Parsed<BerReader> reader = list.enter(tag::sequence);
    if (!reader.ok())
        return reader.failure();
    const Parsed<BerElement> name = reader->expect(tag::objectIdentifier);
    if (!name.ok())
        return name.failure();
    Parsed<Oid> oid = readOid(*name);
    if (!oid.ok())
        return oid.failure();
    const Parsed<BerElement> syntax = reader->next();
    if (!syntax.ok())
        return syntax.failure();
    Parsed<Value> value = decodeValue(*syntax);
    if (!value.ok())
        return value.failure();
    if (const std::optional<DecodeFailure> failure = reader->finish())
        return *failure;
    return VarBind{std::move(*oid), std::move(*value)};
}

// Room reserved ahead for bindings: enough for any real answer or trap,
// small enough that a datagram of empty elements cannot make it large.
constexpr std::size_t maxReservedBindings = 64;

// The number of elements left in `reader` (up to `limit`), reading only
// their headers.
std::size_t countElements(BerReader reader, std::size_t limit)
{
    std::size_t count = 0;
    while (count < limit && !reader.atEnd() && reader.next().ok())
        ++count;
    return count;
}

// VarBindList ::= SEQUENCE OF VarBind
std::optional<DecodeFailure> decodeVarBindList(BerReader& pdu, std::vector<VarBind>& bindings)
{
    Parsed<BerReader> list = pdu.enter(tag::sequence);
    if (!list.ok())
        return list.failure();
    bindings.reserve(countElements(*list, maxReservedBindings));
    while (!list->atEnd()) {
        Parsed<VarBind> binding = decodeVarBind(*list);
        if (!binding.ok())
            return binding.failure();
        bindings.push_back(std::move(*binding));
    }
    return std::nullopt;
}

std::optional<DecodeFailure> readInteger32Into(BerReader& reader, std::int32_t& target)
{
    const Parsed<BerElement> element = reader.expect(tag::integer);
    if (!element.ok())
        return element.failure();
    const Parsed<std::int32_t> number = readInteger32(*element);
    if (!number.ok())
        return number.failure();
    target = *number;
    return std::nullopt;
}

// PDU ::= SEQUENCE { request-id INTEGER, error-status INTEGER,
//                    error-index INTEGER, variable-bindings VarBindList }
// (GetBulkRequest-PDU has the same shape with non-repeaters and
// max-repetitions in the two error fields.)
std::optional<DecodeFailure> decodePdu(BerReader& pdu, Message& message)
{
    for (std::int32_t* field : {&message.requestId, &message.errorStatus, &message.errorIndex}) {
        if (const std::optional<DecodeFailure> failure = readInteger32Into(pdu, *field))
            return failure;
    }
    return decodeVarBindList(pdu, message.bindings);
}

// Trap-PDU ::= [4] IMPLICIT SEQUENCE { enterprise OBJECT IDENTIFIER,
//                  agent-addr NetworkAddress, generic-trap INTEGER,
//                  specific-trap INTEGER, time-stamp TimeTicks,
//                  variable-bindings VarBindList }
// NetworkAddress ::= CHOICE { internet IpAddress }
std::optional<DecodeFailure> decodeTrapPdu(BerReader& pdu, Message& message)
{
    const Parsed<BerElement> enterprise = pdu.expect(tag::objectIdentifier);
    if (!enterprise.ok())
        return enterprise.failure();
    Parsed<Oid> oid = readOid(*enterprise);
    if (!oid.ok())
        return oid.failure();
    message.enterprise = std::move(*oid);

    const Parsed<BerElement> agentAddress = pdu.expect(tag::ipAddress);
    if (!agentAddress.ok())
        return agentAddress.failure();
    const Parsed<std::array<std::uint8_t, 4>> address = decodeIpAddress(*agentAddress);
    if (!address.ok())
        return address.failure();
    message.agentAddress = *address;

    if (const std::optional<DecodeFailure> failure = readInteger32Into(pdu, message.genericTrap))
        return failure;
    if (const std::optional<DecodeFailure> failure = readInteger32Into(pdu, message.specificTrap))
        return failure;

    const Parsed<BerElement> timeStamp = pdu.expect(tag::timeTicks);
    if (!timeStamp.ok())
        return timeStamp.failure();
    const Parsed<std::uint32_t> ticks = readUnsigned32(*timeStamp);
    if (!ticks.ok())
        return ticks.failure();
    message.timeStamp = *ticks;

    return decodeVarBindList(pdu, message.bindings);
}

// SNMPv1 carries the PDUs of RFC 1157 ([0] to [4]); SNMPv2c those of
// RFC 3416, where [4] is obsolete.
bool pduAllowed(std::int32_t version, std::uint8_t pduTag)
{
    const auto first = static_cast<std::uint8_t>(PduType::GetRequest);
    const auto trapV1 = static_cast<std::uint8_t>(PduType::TrapV1);
    const auto last = static_cast<std::uint8_t>(PduType::Report);
    if (version == versionV1)
        return pduTag >= first && pduTag <= trapV1;
    return pduTag >= first && pduTag <= last && pduTag != trapV1;
}

std::optional<DecodeFailure> decodeMessageBody(BerReader& body, Message& message)
{
    const Parsed<BerElement> version = body.expect(tag::integer);
    if (!version.ok())
        return version.failure();
    const Parsed<std::int32_t> number = readInteger32(*version);
    if (!number.ok())
        return number.failure();
    if (*number != versionV1 && *number != versionV2c)
        return DecodeFailure{DecodeError::UnsupportedVersion, version->contentOffset};
    message.version = *number;

    const Parsed<BerElement> community = body.expect(tag::octetString);
    if (!community.ok())
        return community.failure();
    message.community.assign(community->content.begin(), community->content.end());

    const std::optional<std::uint8_t> pduTag = body.peekTag();
    if (!pduTag)
        return DecodeFailure{DecodeError::Truncated, body.offset()};
    if (!pduAllowed(message.version, *pduTag))
        return DecodeFailure{DecodeError::UnexpectedTag, body.offset()};
    message.type = static_cast<PduType>(*pduTag);

    Parsed<BerReader> pdu = body.enter(*pduTag);
    if (!pdu.ok())
        return pdu.failure();
    const std::optional<DecodeFailure> failure =
        message.type == PduType::TrapV1 ? decodeTrapPdu(*pdu, message) : decodePdu(*pdu, message);
    if (failure)
        return failure;
    if (const std::optional<DecodeFailure> trailing = pdu->finish())
        return trailing;
    return body.finish();
}

} // namespace

// Message ::= SEQUENCE { version INTEGER { version-1(0) },
//                        community OCTET STRING, data ANY }
// (version 1 is SNMPv2c, RFC 1901.)
DecodeResult decodeMessage(std::span<const std::uint8_t> datagram)
{
    BerReader reader(datagram);
    Parsed<BerReader> body = reader.enter(tag::sequence);
    if (!body.ok())
        return body.failure();
    Message message;
    if (const std::optional<DecodeFailure> failure = decodeMessageBody(*body, message))
        return *failure;
    if (const std::optional<DecodeFailure> failure = reader.finish())
        return *failure;
    return message;
}

} // namespace brellan::snmp
