// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of SNMPv1 and SNMPv2c messages from untrusted datagrams. Each
// function reads, field for field, the ASN.1 quoted above it.

#include "BerReader.h"
#include "BerTags.h"
#include "Message.h"
#include "MessageWalk.h"

#include <tuple>

namespace brellan::snmp {

namespace {

// NULL and the exception values noSuchObject, noSuchInstance, endOfMibView
// ([CONTEXT 0..2] IMPLICIT NULL, RFC 3416): no content at all.
template <typename Empty>
Decoded<Value> decodeEmpty(const BerElement& element)
{
    if (!element.content.empty())
        return DecodeFailure{DecodeError::TrailingBytes, element.contentOffset};
    return Empty{};
}

Octets contentOf(const BerElement& element)
{
    return Octets(element.content.begin(), element.content.end());
}

// Counter ::= [APPLICATION 1] IMPLICIT INTEGER (0..4294967295)
// Gauge ::= [APPLICATION 2] IMPLICIT INTEGER (0..4294967295)
// TimeTicks ::= [APPLICATION 3] IMPLICIT INTEGER (0..4294967295)
template <typename Unsigned32>
Decoded<Value> decodeUnsigned32Value(const BerElement& element)
{
    DECODE_OR_RETURN(const std::uint32_t number, decodeUnsigned32(element));
    return Unsigned32{number};
}

// ObjectSyntax ::= CHOICE { simple SimpleSyntax, application-wide ApplicationSyntax }
// SimpleSyntax ::= CHOICE { integer INTEGER, string OCTET STRING,
//                           objectID OBJECT IDENTIFIER, empty NULL }
// ApplicationSyntax ::= CHOICE { address NetworkAddress, counter Counter,
//                                gauge Gauge, ticks TimeTicks, arbitrary Opaque }
// plus Counter64 ::= [APPLICATION 6] IMPLICIT INTEGER (0..18446744073709551615)
// and the exception values of RFC 3416.
Decoded<Value> decodeValue(const BerElement& element)
{
    switch (element.tag) {
    case tag::integer: {
        DECODE_OR_RETURN(const std::int32_t number, decodeInteger32(element));
        return Integer{number};
    }
    case tag::octetString:
        return OctetString{contentOf(element)};
    case tag::null:
        return decodeEmpty<Null>(element);
    case tag::objectIdentifier: {
        // A zero-length identifier is no identifier X.690 allows, but real
        // agents send it as a value (a printer's ifSpecific); it is kept,
        // as an empty one, rather than the whole answer being dropped.
        if (element.content.empty())
            return ObjectIdentifier{};
        DECODE_OR_RETURN(Oid&& oid, decodeOid(element));
        return ObjectIdentifier{std::move(oid)};
    }
    case tag::ipAddress: {
        DECODE_OR_RETURN(const auto& octets, decodeIpAddress(element));
        return IpAddress{octets};
    }
    case tag::counter:
        return decodeUnsigned32Value<Counter>(element);
    case tag::gauge:
        return decodeUnsigned32Value<Gauge>(element);
    case tag::timeTicks:
        return decodeUnsigned32Value<TimeTicks>(element);
    case tag::opaque:
        return Opaque{contentOf(element)};
    case tag::counter64: {
        DECODE_OR_RETURN(const std::uint64_t number, decodeUnsigned64(element));
        return Counter64{number};
    }
    case tag::noSuchObject:
        return decodeEmpty<NoSuchObject>(element);
    case tag::noSuchInstance:
        return decodeEmpty<NoSuchInstance>(element);
    case tag::endOfMibView:
        return decodeEmpty<EndOfMibView>(element);
    default:
        break;
    }
    // Another primitive application type (NsapAddress, UInteger32, a vendor's
    // own): keep the binding, its bytes and its tag rather than drop the datagram.
    if ((element.tag & tag::classMask) == tag::applicationClass && (element.tag & tag::constructedBit) == 0)
        return Opaque{contentOf(element), element.tag};
    return DecodeFailure{DecodeError::UnexpectedTag, element.tagOffset};
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

// VarBind ::= SEQUENCE { name ObjectName, value ObjectSyntax }, decoded into
// `binding` in place: a binding is moved as little as can be.
Decoded<Consumed> readVarBindInto(BerReader& list, VarBind& binding)
{
    return list.within(tag::sequence, [&binding](BerReader& fields) -> Decoded<Consumed> {
        DECODE_OR_RETURN(binding.oid, fields.readOid());
        DECODE_OR_RETURN(const BerElement& syntax, fields.next());
        DECODE_OR_RETURN(binding.value, decodeValue(syntax));
        return Consumed{};
    });
}

// The list's bindings, decoded in place at the end of `bindings`.
Decoded<Consumed> decodeVarBinds(BerReader& list, std::vector<VarBind>& bindings)
{
    bindings.reserve(countElements(list, maxReservedBindings));
    while (!list.atEnd()) {
        DECODE_OR_RETURN(std::ignore, readVarBindInto(list, bindings.emplace_back()));
    }
    return Consumed{};
}

// Trap-PDU ::= [4] IMPLICIT SEQUENCE { enterprise OBJECT IDENTIFIER,
//                  agent-addr NetworkAddress, generic-trap INTEGER,
//                  specific-trap INTEGER, time-stamp TimeTicks,
//                  variable-bindings VarBindList }
// NetworkAddress ::= CHOICE { internet IpAddress }
Decoded<Consumed> walkTrapPdu(BerReader& pdu, MessageVisitor& visitor)
{
    DECODE_OR_RETURN(const BerElement& enterprise, pdu.expect(tag::objectIdentifier));
    DECODE_OR_RETURN(std::ignore, visitor.enterprise(enterprise));
    MessageVisitor::TrapFields fields;
    DECODE_OR_RETURN(fields.agentAddress, pdu.readIpAddress());
    DECODE_OR_RETURN(fields.genericTrap, pdu.readInteger32());
    DECODE_OR_RETURN(fields.specificTrap, pdu.readInteger32());
    DECODE_OR_RETURN(const BerElement& timeStamp, pdu.expect(tag::timeTicks));
    DECODE_OR_RETURN(fields.timeStamp, decodeUnsigned32(timeStamp));
    fields.timeStampOffset = timeStamp.contentOffset;
    fields.timeStampSize = timeStamp.content.size();
    return visitor.trapFields(fields);
}

// PDU ::= SEQUENCE { request-id INTEGER, error-status INTEGER,
//                    error-index INTEGER, variable-bindings VarBindList }
Decoded<Consumed> walkRequestPdu(BerReader& pdu, MessageVisitor& visitor)
{
    MessageVisitor::RequestFields fields;
    DECODE_OR_RETURN(const BerElement& requestId, pdu.expect(tag::integer));
    DECODE_OR_RETURN(fields.requestId, decodeInteger32(requestId));
    fields.requestIdOffset = requestId.contentOffset;
    fields.requestIdSize = requestId.content.size();
    DECODE_OR_RETURN(fields.errorStatus, pdu.readInteger32());
    DECODE_OR_RETURN(fields.errorIndex, pdu.readInteger32());
    return visitor.requestFields(fields);
}

// VarBindList ::= SEQUENCE OF VarBind, the last field of every PDU
Decoded<Consumed> walkVarBindList(BerReader& pdu, std::span<const std::uint8_t> datagram, MessageVisitor& visitor)
{
    const std::size_t start = pdu.offset();
    DECODE_OR_RETURN(BerReader list, pdu.enter(tag::sequence));
    DECODE_OR_RETURN(std::ignore, visitor.bindings(list, datagram.subspan(start, pdu.offset() - start)));
    return list.finish();
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

// version INTEGER { version-1(0) }, or 1 for SNMPv2c (RFC 1901)
Decoded<std::int32_t> decodeVersion(BerReader& body)
{
    DECODE_OR_RETURN(const BerElement& element, body.expect(tag::integer));
    DECODE_OR_RETURN(const std::int32_t version, decodeInteger32(element));
    if (version != versionV1 && version != versionV2c)
        return DecodeFailure{DecodeError::UnsupportedVersion, element.contentOffset};
    return version;
}

// Message ::= SEQUENCE { version INTEGER { version-1(0) },
//                        community OCTET STRING, data ANY }
// PDUs ::= CHOICE { get-request [0] ..., trap [4] Trap-PDU, ... }
Decoded<Consumed> walkMessageBody(BerReader& body, std::span<const std::uint8_t> datagram, MessageVisitor& visitor)
{
    DECODE_OR_RETURN(const std::int32_t version, decodeVersion(body));
    DECODE_OR_RETURN(const std::span<const std::uint8_t> community, body.readOctets());
    const std::optional<std::uint8_t> pduTag = body.peekTag();
    if (!pduTag)
        return DecodeFailure{DecodeError::Truncated, body.offset()};
    if (!pduAllowed(version, *pduTag))
        return DecodeFailure{DecodeError::UnexpectedTag, body.offset()};
    const auto type = static_cast<PduType>(*pduTag);
    DECODE_OR_RETURN(std::ignore, visitor.begin(version, community, type));
    return body.within(*pduTag, [type, datagram, &visitor](BerReader& pdu) -> Decoded<Consumed> {
        DECODE_OR_RETURN(std::ignore,
                         type == PduType::TrapV1 ? walkTrapPdu(pdu, visitor) : walkRequestPdu(pdu, visitor));
        return walkVarBindList(pdu, datagram, visitor);
    });
}

// Builds the Message, each field decoded in place.
class MessageBuilder final : public MessageVisitor {
public:
    explicit MessageBuilder(Message& message) : m_message(message) {}

    Decoded<Consumed> begin(std::int32_t version, std::span<const std::uint8_t> community, PduType type) override
    {
        m_message.version = version;
        m_message.community.assign(community.begin(), community.end());
        if (type == PduType::TrapV1)
            m_message.pdu.emplace<TrapPdu>();
        else
            std::get<Pdu>(m_message.pdu).type = type;
        return Consumed{};
    }

    Decoded<Consumed> enterprise(const BerElement& oid) override
    {
        DECODE_OR_RETURN(std::get<TrapPdu>(m_message.pdu).enterprise, decodeOid(oid));
        return Consumed{};
    }

    Decoded<Consumed> trapFields(const TrapFields& fields) override
    {
        auto& trap = std::get<TrapPdu>(m_message.pdu);
        trap.agentAddress = fields.agentAddress;
        trap.genericTrap = fields.genericTrap;
        trap.specificTrap = fields.specificTrap;
        trap.timeStamp = fields.timeStamp;
        return Consumed{};
    }

    Decoded<Consumed> requestFields(const RequestFields& fields) override
    {
        auto& pdu = std::get<Pdu>(m_message.pdu);
        pdu.requestId = fields.requestId;
        pdu.errorStatus = fields.errorStatus;
        pdu.errorIndex = fields.errorIndex;
        return Consumed{};
    }

    Decoded<Consumed> bindings(BerReader& list, std::span<const std::uint8_t>) override
    {
        return std::visit([&list](auto& pdu) { return decodeVarBinds(list, pdu.bindings); }, m_message.pdu);
    }

private:
    Message& m_message;
};

} // namespace

Decoded<VarBind> readVarBind(BerReader& list)
{
    Decoded<VarBind> result = VarBind{};
    if (const Decoded<Consumed> read = readVarBindInto(list, *result); !read)
        result = read.failure();
    return result;
}

Decoded<Consumed> walkMessage(std::span<const std::uint8_t> datagram, MessageVisitor& visitor)
{
    BerReader reader(datagram);
    DECODE_OR_RETURN(std::ignore, reader.within(tag::sequence, [datagram, &visitor](BerReader& body) {
                         return walkMessageBody(body, datagram, visitor);
                     }));
    return reader.finish();
}

// The message is decoded in place, into the result that is returned: a
// decoded field is never moved from one object to the next on the way out.
Decoded<Message> decodeMessage(std::span<const std::uint8_t> datagram)
{
    Decoded<Message> result = Message{};
    MessageBuilder builder(*result);
    if (const Decoded<Consumed> walked = walkMessage(datagram, builder); !walked)
        result = walked.failure();
    return result;
}

} // namespace brellan::snmp
