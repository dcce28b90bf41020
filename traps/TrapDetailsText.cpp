// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a trap's details, from the datagram as received.

#include "TrapDetailsText.h"

#include "GenericTrap.h"
#include "TrapDetailLines.h"
#include "Ipv4Text.h"
#include "LetterRuns.h"
#include "Message.h"
#include "ShownNames.h"
#include "Value.h"

#include <algorithm>
#include <utility>

namespace brellan {
namespace {

using snmp::Oid;

const Oid sysUpTimeOid{1, 3, 6, 1, 2, 1, 1, 3, 0};
const Oid snmpTrapOidOid{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};

// Where a cut of quoted text at `end` falls: before a backslash escape (\n,
// \u2028) that would be cut short, since its first part reads as another
// character.
std::size_t outsideEscape(std::string_view text, std::size_t end)
{
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] != '\\')
            continue;
        const std::size_t length = i + 1 < text.size() && text[i + 1] == 'u' ? 6 : 2;
        if (i + length > end)
            return i;
        i += length - 1;
    }
    return end;
}

// Text longer than the limit, cut: it ends at the last whole character that
// fits (in quoted text, never inside an escape), and the mark gives the whole
// text's length in characters.
struct Cut {
    std::string text;
    std::string mark; // empty when the text is whole
};

Cut cutApart(std::string text, std::size_t limit, bool quoted = false)
{
    if (text.size() <= limit)
        return {std::move(text), {}};
    std::size_t characters = 0;
    for (const char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(quoted ? outsideEscape(text, end) : end);
    return {std::move(text), " \u2026 [cut: " + std::to_string(characters) + " characters in all]"};
}

std::string cut(std::string text, std::size_t limit)
{
    Cut parts = cutApart(std::move(text), limit);
    return parts.text + parts.mark;
}

// STRING: "eth1", Hex-STRING: 80, NULL: the value beside its type,
// a cut one with its mark after the closing quote.
std::string typedText(const snmp::Value& value, std::size_t limit)
{
    snmp::TypedValueText typed = snmp::typedValueText(value);
    if (typed.text.empty() && !typed.quoted)
        return typed.type;
    const Cut parts = cutApart(std::move(typed.text), limit, typed.quoted);
    const char* quote = typed.quoted ? "\"" : "";
    return typed.type + ": " + quote + parts.text + quote + parts.mark;
}

// Object identifiers and INTEGERs as the details read them: see OidNaming.
class OidNamer {
public:
    OidNamer(OidNaming naming, std::size_t limit) : m_naming(naming), m_limit(limit) {}

    // "IF-MIB::ifOperStatus.2", with " (1.3.6.1.2.1.2.2.1.8.2)" after it
    // when numbers go beside names; the number alone when no name is known.
    std::string oid(const Oid& oid) const
    {
        std::string number = cut(snmp::formatOid(oid), m_limit);
        const std::optional<std::string> name = m_naming.names ? shownOidName(*m_naming.names, oid) : std::nullopt;
        if (!name)
            return number;
        std::string text = cut(*name, m_limit);
        if (m_naming.numbersBesideNames)
            text += " (" + number + ")";
        return text;
    }

    // A binding's value beside its type: an OID value named, an INTEGER by
    // its label where the binding's object has one for it.
    std::string typed(const snmp::VarBind& binding) const
    {
        if (const auto* identifier = std::get_if<snmp::ObjectIdentifier>(&binding.value);
            identifier && !identifier->oid.empty())
            return "OID: " + oid(identifier->oid);
        if (const auto* integer = std::get_if<snmp::Integer>(&binding.value); integer && m_naming.names) {
            if (const auto label = shownValueLabel(*m_naming.names, binding.oid, integer->value))
                return "INTEGER: " + cut(*label, m_limit);
        }
        return typedText(binding.value, m_limit);
    }

    // A header's value (snmpTrapOID.0): an identifier named, anything else
    // as valueText shows it.
    std::string plain(const snmp::Value& value) const
    {
        const auto* identifier = std::get_if<snmp::ObjectIdentifier>(&value);
        return identifier && !identifier->oid.empty() ? oid(identifier->oid) : cut(snmp::valueText(value), m_limit);
    }

private:
    const OidNaming m_naming;
    const std::size_t m_limit;
};

} // namespace

TrapDetailLines::TrapDetailLines(const DetailLimits& limits, CommunityShown community, OidNaming naming)
    : m_limits(limits), m_community(community), m_naming(naming)
{
}

std::string TrapDetailLines::received(std::string_view receivedAt)
{
    std::string text = "Received: ";
    text += receivedAt;
    return text;
}

// An IPv6 source is written as a URL writes it, "[fd00:5::2]:40121": its
// colons would run into the port's otherwise.
std::string TrapDetailLines::source(const snmp::InetAddress& address, std::uint16_t port)
{
    if (address.isUnspecified() && port == 0)
        return "From: unknown";
    if (address.isIpv6())
        return "From: " + address.textWithPort(port);
    return ipv4SourceBeforePort(address) + std::to_string(port);
}

std::string TrapDetailLines::ipv4SourceBeforePort(const snmp::InetAddress& address)
{
    std::string text = "From: ";
    text += address.text();
    text += ", UDP port ";
    return text;
}

std::string TrapDetailLines::noDatagram()
{
    return "The receiver passed on no datagram: nothing more is known of this trap.";
}

std::string TrapDetailLines::undecodable(std::size_t datagramBytes, snmp::DecodeFailure failure)
{
    return "The datagram (" + std::to_string(datagramBytes) + " bytes) does not decode: "
           + snmp::decodeErrorText(failure.reason) + " at byte " + std::to_string(failure.offset) + ".";
}

std::optional<std::string> TrapDetailLines::agentElsewhere(std::uint32_t agent, const snmp::InetAddress& source,
                                                           std::uint16_t port)
{
    const bool sourceKnown = !source.isUnspecified() || port != 0;
    if (agent == 0 || !sourceKnown || snmp::InetAddress(agent) == source)
        return std::nullopt;
    return "The trap names " + snmp::ipv4Text(agent) + " as its agent but came from " + source.text()
           + ": it passed a NAT or a relay, or it is forged.";
}

std::string TrapDetailLines::version(std::int32_t version, snmp::PduType type)
{
    std::string text = version == snmp::versionV1 ? "Version: SNMPv1, " : "Version: SNMPv2c, ";
    switch (type) {
    case snmp::PduType::TrapV2:
    case snmp::PduType::TrapV1: return text + "trap";
    case snmp::PduType::InformRequest: return text + "inform";
    default: return text + "not a trap";
    }
}

std::string TrapDetailLines::community(std::span<const std::uint8_t> octets) const
{
    if (m_community == CommunityShown::asLengthOnly) {
        const std::size_t size = octets.size();
        return "Community: " + std::to_string(size) + (size == 1 ? " octet" : " octets") + ", not copied";
    }
    return "Community: "
           + cut(snmp::valueText(snmp::OctetString{snmp::Octets(octets.begin(), octets.end())}), m_limits.valueBytes);
}

std::string TrapDetailLines::agentAddress(std::uint32_t agent)
{
    return "Agent address: " + snmp::ipv4Text(agent) + (agent == 0 ? " (none given: the line shows the source)" : "");
}

std::string TrapDetailLines::enterprise(const snmp::Oid& oid) const
{
    return "Enterprise: " + OidNamer(m_naming, m_limits.valueBytes).oid(oid);
}

std::string TrapDetailLines::genericTrap(std::int32_t code)
{
    return "Generic trap: " + std::to_string(code) + " (" + std::string(genericTrapName(code).value_or("unknown"))
           + ")";
}

std::string TrapDetailLines::specificTrap(std::int32_t code)
{
    return "Specific trap: " + std::to_string(code);
}

std::string TrapDetailLines::timeStamp(std::uint32_t ticks)
{
    std::string text;
    appendTimeStamp(text, ticks);
    return text;
}

void TrapDetailLines::appendTimeStamp(std::string& text, std::uint32_t ticks)
{
    text += "Time-stamp: ";
    snmp::appendTimeTicksText(text, ticks); // valueText's own words for TimeTicks
}

const snmp::Oid& TrapDetailLines::headerObject(Header header)
{
    return header == Header::trapOid ? snmpTrapOidOid : sysUpTimeOid;
}

std::string TrapDetailLines::headerValue(Header header, const snmp::Value* value) const
{
    std::string text = header == Header::trapOid ? "snmpTrapOID.0: " : "sysUpTime.0: ";
    text += value ? OidNamer(m_naming, m_limits.valueBytes).plain(*value) : "(not in the trap)";
    return text;
}

std::string TrapDetailLines::bindingCount(std::size_t bindings)
{
    return "Variable bindings: " + std::to_string(bindings);
}

std::string TrapDetailLines::binding(const snmp::VarBind& binding) const
{
    std::string text = bindingObject(binding.oid);
    text += " = ";
    text += bindingValue(binding);
    return text;
}

std::string TrapDetailLines::bindingObject(const snmp::Oid& oid) const
{
    return OidNamer(m_naming, m_limits.valueBytes).oid(oid);
}

std::string TrapDetailLines::bindingValue(const snmp::VarBind& binding) const
{
    return OidNamer(m_naming, m_limits.valueBytes).typed(binding);
}

std::string TrapDetailLines::notShown(std::size_t bindings)
{
    return "\u2026 and " + std::to_string(bindings) + " more, not shown";
}

namespace {

// Joins the lines of one trap's details.
class DetailsWriter {
public:
    void line(const std::string& text)
    {
        if (!m_text.empty())
            m_text += '\n';
        m_text += text;
    }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
};

const snmp::Value* firstValueOf(const std::vector<snmp::VarBind>& bindings, const Oid& oid)
{
    for (const snmp::VarBind& binding : bindings) {
        if (binding.oid == oid)
            return &binding.value;
    }
    return nullptr;
}

void writeMessage(DetailsWriter& writer, const TrapDetailLines& lines, const ReceivedTrap& trap,
                  const snmp::Message& message)
{
    const auto* community = reinterpret_cast<const std::uint8_t*>(message.community.data());
    const std::span<const std::uint8_t> communityOctets(community, message.community.size());
    const std::vector<snmp::VarBind>& bindings = message.bindings();
    if (const auto* v1 = std::get_if<snmp::TrapPdu>(&message.pdu)) {
        const std::uint32_t agent = snmp::ipv4FromOctets(v1->agentAddress);
        if (const auto elsewhere = TrapDetailLines::agentElsewhere(agent, trap.sourceAddress, trap.sourcePort))
            writer.line(*elsewhere);
        writer.line(TrapDetailLines::version(message.version, message.type()));
        writer.line(lines.community(communityOctets));
        writer.line(TrapDetailLines::agentAddress(agent));
        writer.line(lines.enterprise(v1->enterprise));
        writer.line(TrapDetailLines::genericTrap(v1->genericTrap));
        writer.line(TrapDetailLines::specificTrap(v1->specificTrap));
        writer.line(TrapDetailLines::timeStamp(v1->timeStamp));
    } else {
        using Header = TrapDetailLines::Header;
        writer.line(TrapDetailLines::version(message.version, message.type()));
        writer.line(lines.community(communityOctets));
        for (const Header header : {Header::trapOid, Header::upTime})
            writer.line(lines.headerValue(header, firstValueOf(bindings, TrapDetailLines::headerObject(header))));
    }
    writer.line(TrapDetailLines::bindingCount(bindings.size()));
    const std::size_t shown = std::min(bindings.size(), lines.limits().maxBindings);
    for (std::size_t i = 0; i < shown; ++i)
        writer.line(lines.binding(bindings[i]));
    if (shown < bindings.size())
        writer.line(TrapDetailLines::notShown(bindings.size() - shown));
}

} // namespace

std::string trapDetailsText(const ReceivedTrap& trap, std::string_view receivedAt, const DetailLimits& limits,
                            CommunityShown community, OidNaming naming)
{
    const TrapDetailLines lines(limits, community, naming);
    DetailsWriter writer;
    writer.line(TrapDetailLines::received(receivedAt));
    writer.line(TrapDetailLines::source(trap.sourceAddress, trap.sourcePort));
    if (trap.datagram.empty()) {
        writer.line(TrapDetailLines::noDatagram());
        return writer.take();
    }
    const snmp::Decoded<snmp::Message> message = snmp::decodeMessage(trap.datagram);
    if (!message) {
        writer.line(TrapDetailLines::undecodable(trap.datagram.size(), message.failure()));
        return writer.take();
    }
    writeMessage(writer, lines, trap, *message);
    return writer.take();
}

std::string trapDetailsOwnLetterRuns()
{
    // The fixed texts of TrapDetailLines and cutApart above, word for word;
    // a test formats traps of every kind and fails on any run of letters
    // that is in none of the sources trapDetailsOwnLetterRuns' comment names.
    static constexpr std::string_view fixedTexts[] = {
        "Received: From: unknown, UDP port",
        "The receiver passed on no datagram: nothing more is known of this trap.",
        "The datagram (2 bytes) does not decode: at byte 0.",
        "The trap names as its agent but came from : it passed a NAT or a relay, or it is forged.",
        "Version: SNMPv1, SNMPv2c, trap inform not a trap",
        "Community: 6 octets 1 octet, not copied",
        "snmpTrapOID.0: sysUpTime.0: (not in the trap)",
        "Agent address: (none given: the line shows the source)",
        "Enterprise: Generic trap: (unknown) Specific trap: Time-stamp:",
        "Variable bindings: \u2026 and 2 more, not shown",
        " \u2026 [cut: 300 characters in all]",
        "OID: INTEGER:",
    };
    std::string runs;
    for (const std::string_view text : fixedTexts)
        appendFoldedLetterRuns(text, runs);
    for (std::int32_t code = 0; code <= enterpriseSpecificTrap; ++code)
        appendFoldedLetterRuns(genericTrapName(code).value_or(""), runs);
    for (int error = static_cast<int>(snmp::DecodeError::Truncated);
         error <= static_cast<int>(snmp::DecodeError::UnsupportedVersion); ++error)
        appendFoldedLetterRuns(snmp::decodeErrorText(static_cast<snmp::DecodeError>(error)), runs);
    appendFoldedLetterRuns(snmp::decodeErrorText(static_cast<snmp::DecodeError>(0xFF)), runs);
    // Each value type's name and its text where that holds words ("1 day",
    // "noSuchObject"): one value of every kind, and the forms an Opaque takes.
    const auto addValue = [&runs](const snmp::Value& value) {
        const snmp::TypedValueText typed = snmp::typedValueText(value);
        appendFoldedLetterRuns(typed.type, runs);
        appendFoldedLetterRuns(snmp::valueText(value), runs);
        appendFoldedLetterRuns(typed.text, runs);
    };
    [&addValue]<std::size_t... kinds>(std::index_sequence<kinds...>) {
        (addValue(snmp::Value(std::in_place_index<kinds>)), ...);
    }(std::make_index_sequence<std::variant_size_v<snmp::Value>>());
    addValue(snmp::TimeTicks{8640000});
    addValue(snmp::TimeTicks{3 * 8640000});
    addValue(snmp::OctetString{{0x01}});
    addValue(snmp::Opaque{{0x01}, snmp::tag::uinteger32});
    addValue(snmp::Opaque{{}, 0x99});
    return runs;
}

std::string detailsLetGoText()
{
    return "The details of this trap are no longer kept: the oldest are let go to keep memory within its bound.";
}

std::string detailsNeverKeptText()
{
    return "No details were kept for this line.";
}

} // namespace brellan
