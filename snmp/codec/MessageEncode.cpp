// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding of messages in BER with definite, minimal lengths (X.690 8.1.3)
// and minimal two's complement integers (X.690 8.3.2).
//
// Everything is written into one growing buffer: a constructed value's
// contents are encoded in place and its length is put in front of them
// afterwards, so encoding a message allocates once or twice, not once per
// value.

#include "BerTags.h"
#include "Message.h"
#include "Overloaded.h"

#include <array>
#include <stdexcept>
#include <variant>

namespace brellan::snmp {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The length octets of a definite length, in the short form below 128 and
// the minimal long form from there on.
struct LengthOctets {
    std::array<std::uint8_t, 1 + sizeof(std::size_t)> bytes{};
    std::size_t count = 0;
};

LengthOctets lengthOctets(std::size_t length)
{
    LengthOctets octets;
    if (length < 0x80) {
        octets.bytes[octets.count++] = static_cast<std::uint8_t>(length);
        return octets;
    }
    std::array<std::uint8_t, sizeof(std::size_t)> digits{};
    std::size_t count = 0;
    for (std::size_t rest = length; rest != 0; rest >>= 8)
        digits[count++] = static_cast<std::uint8_t>(rest & 0xFF);
    octets.bytes[octets.count++] = static_cast<std::uint8_t>(0x80 | count);
    while (count > 0)
        octets.bytes[octets.count++] = digits[--count];
    return octets;
}

void appendTlv(Bytes& out, std::uint8_t tag, std::span<const std::uint8_t> content)
{
    const LengthOctets length = lengthOctets(content.size());
    out.push_back(tag);
    out.insert(out.end(), length.bytes.begin(), length.bytes.begin() + static_cast<std::ptrdiff_t>(length.count));
    out.insert(out.end(), content.begin(), content.end());
}

// A value whose contents `writeContents(out)` appends: the tag goes first,
// then one octet kept for the length, then the contents, written in place.
// The length goes into the kept octet once it is known; only a length of
// 128 or more, which needs more octets, moves the contents.
template <typename WriteContents>
void appendEnclosing(Bytes& out, std::uint8_t tag, WriteContents writeContents)
{
    out.push_back(tag);
    const std::size_t lengthAt = out.size();
    out.push_back(0);
    writeContents(out);
    const LengthOctets length = lengthOctets(out.size() - lengthAt - 1);
    const auto kept = out.begin() + static_cast<std::ptrdiff_t>(lengthAt);
    *kept = length.bytes[0];
    out.insert(kept + 1, length.bytes.begin() + 1, length.bytes.begin() + static_cast<std::ptrdiff_t>(length.count));
}

// `bytes` is a nine-byte big-endian two's complement number; appends it as
// the contents of a `tag` value without the leading bytes that only repeat
// the sign.
void appendMinimal(Bytes& out, std::uint8_t tag, const std::array<std::uint8_t, 9>& bytes)
{
    std::size_t first = 0;
    while (first + 1 < bytes.size()) {
        const bool redundantZero = bytes[first] == 0x00 && (bytes[first + 1] & 0x80) == 0;
        const bool redundantOnes = bytes[first] == 0xFF && (bytes[first + 1] & 0x80) != 0;
        if (!redundantZero && !redundantOnes)
            break;
        ++first;
    }
    appendTlv(out, tag, std::span<const std::uint8_t>(bytes).subspan(first));
}

void appendSigned(Bytes& out, std::uint8_t tag, std::int32_t number)
{
    std::array<std::uint8_t, 9> bytes{};
    bytes[0] = number < 0 ? 0xFF : 0x00;
    const auto bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(number));
    for (std::size_t i = 0; i < 8; ++i)
        bytes[8 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    appendMinimal(out, tag, bytes);
}

void appendUnsigned(Bytes& out, std::uint8_t tag, std::uint64_t number)
{
    std::array<std::uint8_t, 9> bytes{};
    for (std::size_t i = 0; i < 8; ++i)
        bytes[8 - i] = static_cast<std::uint8_t>(number >> (8 * i));
    appendMinimal(out, tag, bytes);
}

void appendSubidentifier(Bytes& out, std::uint64_t value)
{
    std::array<std::uint8_t, 10> groups{};
    std::size_t count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

// The first two arcs share one sub-identifier (40 * X + Y).
void appendOid(Bytes& out, const Oid& oid)
{
    if (!isEncodable(oid))
        throw std::invalid_argument("object identifier \"" + formatOid(oid) + "\" cannot be encoded");
    appendEnclosing(out, tag::objectIdentifier, [&oid](Bytes& content) {
        appendSubidentifier(content, std::uint64_t{oid[0]} * 40 + oid[1]);
        for (std::size_t i = 2; i < oid.size(); ++i)
            appendSubidentifier(content, oid[i]);
    });
}

void appendValue(Bytes& out, const Value& value)
{
    std::visit(Overloaded{
                   [&](const Null&) { appendTlv(out, tag::null, {}); },
                   [&](const Integer& integer) { appendSigned(out, tag::integer, integer.value); },
                   [&](const OctetString& string) { appendTlv(out, tag::octetString, string.bytes); },
                   [&](const ObjectIdentifier& identifier) {
                       // The empty value a zero-length identifier decodes to goes back as one.
                       if (identifier.oid.empty())
                           appendTlv(out, tag::objectIdentifier, {});
                       else
                           appendOid(out, identifier.oid);
                   },
                   [&](const IpAddress& address) { appendTlv(out, tag::ipAddress, address.octets); },
                   [&](const Counter& counter) { appendUnsigned(out, tag::counter, counter.value); },
                   [&](const Gauge& gauge) { appendUnsigned(out, tag::gauge, gauge.value); },
                   [&](const TimeTicks& ticks) { appendUnsigned(out, tag::timeTicks, ticks.value); },
                   [&](const Opaque& opaque) { appendTlv(out, opaque.berTag, opaque.bytes); },
                   [&](const Counter64& counter) { appendUnsigned(out, tag::counter64, counter.value); },
                   [&](const NoSuchObject&) { appendTlv(out, tag::noSuchObject, {}); },
                   [&](const NoSuchInstance&) { appendTlv(out, tag::noSuchInstance, {}); },
                   [&](const EndOfMibView&) { appendTlv(out, tag::endOfMibView, {}); },
               },
               value);
}

// VarBindList ::= SEQUENCE OF VarBind, each SEQUENCE { name, value }:
// `writeValue(pair, item)` writes the value of each item's binding.
template <typename Items, typename NameOf, typename WriteValue>
void appendVarBindList(Bytes& out, const Items& items, NameOf nameOf, WriteValue writeValue)
{
    appendEnclosing(out, tag::sequence, [&](Bytes& list) {
        for (const auto& item : items) {
            appendEnclosing(list, tag::sequence, [&](Bytes& pair) {
                appendOid(pair, nameOf(item));
                writeValue(pair, item);
            });
        }
    });
}

void appendVarBindList(Bytes& out, const std::vector<VarBind>& bindings)
{
    appendVarBindList(
        out, bindings, [](const VarBind& binding) -> const Oid& { return binding.oid; },
        [](Bytes& pair, const VarBind& binding) { appendValue(pair, binding.value); });
}

void appendTrapPdu(Bytes& out, const TrapPdu& trap)
{
    appendOid(out, trap.enterprise);
    appendTlv(out, tag::ipAddress, trap.agentAddress);
    appendSigned(out, tag::integer, trap.genericTrap);
    appendSigned(out, tag::integer, trap.specificTrap);
    appendUnsigned(out, tag::timeTicks, trap.timeStamp);
    appendVarBindList(out, trap.bindings);
}

// The PDU's fields before its bindings.
void appendPduHeader(Bytes& out, std::int32_t requestId, std::int32_t errorStatus, std::int32_t errorIndex)
{
    appendSigned(out, tag::integer, requestId);
    appendSigned(out, tag::integer, errorStatus);
    appendSigned(out, tag::integer, errorIndex);
}

// Message ::= SEQUENCE { version, community, data }, the PDU's contents
// written by `writePdu`.
template <typename WritePdu>
Bytes message(std::int32_t version, std::string_view community, PduType type, std::size_t bindings,
              WritePdu writePdu)
{
    Bytes datagram;
    // Room for a typical request or trap, so that it is seldom regrown.
    datagram.reserve(96 + community.size() + 32 * bindings);
    appendEnclosing(datagram, tag::sequence, [&](Bytes& body) {
        appendSigned(body, tag::integer, version);
        appendTlv(body, tag::octetString, {reinterpret_cast<const std::uint8_t*>(community.data()), community.size()});
        appendEnclosing(body, static_cast<std::uint8_t>(type), writePdu);
    });
    return datagram;
}

} // namespace

std::vector<std::uint8_t> encodeMessage(const Message& m)
{
    return message(m.version, m.community, m.type(), m.bindings().size(), [&m](Bytes& pdu) {
        std::visit(Overloaded{[&pdu](const Pdu& shape) {
                                  appendPduHeader(pdu, shape.requestId, shape.errorStatus, shape.errorIndex);
                                  appendVarBindList(pdu, shape.bindings);
                              },
                              [&pdu](const TrapPdu& shape) { appendTrapPdu(pdu, shape); }},
                   m.pdu);
    });
}

// Written straight from the identifiers, without building the message
// first: a walk sends one for every answer.
std::vector<std::uint8_t> encodeRequest(PduType type, std::string_view community, std::int32_t requestId,
                                        const std::vector<Oid>& oids)
{
    return message(versionV1, community, type, oids.size(), [&](Bytes& pdu) {
        appendPduHeader(pdu, requestId, 0, 0);
        appendVarBindList(
            pdu, oids, [](const Oid& oid) -> const Oid& { return oid; },
            [](Bytes& pair, const Oid&) { appendTlv(pair, tag::null, {}); });
    });
}

} // namespace brellan::snmp
