// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a trap's details, from the datagram as received.

#include "TrapDetailsText.h"

#include "GenericTrap.h"
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

class DetailsWriter {
public:
    DetailsWriter(const ReceivedTrap& trap, const DetailLimits& limits, CommunityShown community, OidNaming naming)
        : m_trap(trap), m_limits(limits), m_community(community), m_namer(naming, limits.valueBytes)
    {
    }

    void line(const std::string& text)
    {
        if (!m_text.empty())
            m_text += '\n';
        m_text += text;
    }

    // An IPv6 source is written as a URL writes it, "[fd00:5::2]:40121":
    // its colons would run into the port's otherwise.
    void source()
    {
        const bool known = !m_trap.sourceAddress.isUnspecified() || m_trap.sourcePort != 0;
        if (!known)
            line("From: unknown");
        else if (m_trap.sourceAddress.isIpv6())
            line("From: " + m_trap.sourceAddress.textWithPort(m_trap.sourcePort));
        else
            line("From: " + m_trap.sourceAddress.text() + ", UDP port " + std::to_string(m_trap.sourcePort));
    }

    void message(const snmp::Message& message)
    {
        if (const auto* trap = std::get_if<snmp::TrapPdu>(&message.pdu)) {
            v1Trap(message, *trap);
        } else {
            const snmp::PduType type = message.type();
            line(std::string(message.version == snmp::versionV1 ? "Version: SNMPv1, " : "Version: SNMPv2c, ")
                 + pduName(type));
            line("Community: " + communityText(message));
            line("snmpTrapOID.0: " + valueOf(message.bindings(), snmpTrapOidOid));
            line("sysUpTime.0: " + valueOf(message.bindings(), sysUpTimeOid));
        }
        bindings(message.bindings());
    }

    std::string take() { return std::move(m_text); }

private:
    void v1Trap(const snmp::Message& message, const snmp::TrapPdu& trap)
    {
        const std::uint32_t agent = snmp::ipv4FromOctets(trap.agentAddress);
        const bool sourceKnown = !m_trap.sourceAddress.isUnspecified() || m_trap.sourcePort != 0;
        if (agent != 0 && sourceKnown && snmp::InetAddress(agent) != m_trap.sourceAddress)
            line("The trap names " + snmp::ipv4Text(agent) + " as its agent but came from "
                 + m_trap.sourceAddress.text() + ": it passed a NAT or a relay, or it is forged.");
        line("Version: SNMPv1, trap");
        line("Community: " + communityText(message));
        line("Agent address: " + snmp::ipv4Text(agent)
             + (agent == 0 ? " (none given: the line shows the source)" : ""));
        line("Enterprise: " + m_namer.oid(trap.enterprise));
        line("Generic trap: " + std::to_string(trap.genericTrap) + " ("
             + std::string(genericTrapName(trap.genericTrap).value_or("unknown")) + ")");
        line("Specific trap: " + std::to_string(trap.specificTrap));
        line("Time-stamp: " + snmp::valueText(snmp::TimeTicks{trap.timeStamp}));
    }

    static const char* pduName(snmp::PduType type)
    {
        switch (type) {
        case snmp::PduType::TrapV2: return "trap";
        case snmp::PduType::InformRequest: return "inform";
        case snmp::PduType::TrapV1: return "trap";
        default: return "not a trap";
        }
    }

    std::string communityText(const snmp::Message& message) const
    {
        if (m_community == CommunityShown::asLengthOnly) {
            const std::size_t octets = message.community.size();
            return std::to_string(octets) + (octets == 1 ? " octet" : " octets") + ", not copied";
        }
        const snmp::Octets octets(message.community.begin(), message.community.end());
        return cut(snmp::valueText(snmp::OctetString{octets}), m_limits.valueBytes);
    }

    std::string valueOf(const std::vector<snmp::VarBind>& bindings, const Oid& oid) const
    {
        for (const snmp::VarBind& binding : bindings) {
            if (binding.oid == oid)
                return m_namer.plain(binding.value);
        }
        return "(not in the trap)";
    }

    void bindings(const std::vector<snmp::VarBind>& bindings)
    {
        line("Variable bindings: " + std::to_string(bindings.size()));
        const std::size_t shown = std::min(bindings.size(), m_limits.maxBindings);
        for (std::size_t i = 0; i < shown; ++i)
            line(m_namer.oid(bindings[i].oid) + " = " + m_namer.typed(bindings[i]));
        if (shown < bindings.size())
            line("\u2026 and " + std::to_string(bindings.size() - shown) + " more, not shown");
    }

    const ReceivedTrap& m_trap;
    const DetailLimits& m_limits;
    const CommunityShown m_community;
    const OidNamer m_namer;
    std::string m_text;
};

} // namespace

std::string trapDetailsText(const ReceivedTrap& trap, std::string_view receivedAt, const DetailLimits& limits,
                            CommunityShown community, OidNaming naming)
{
    DetailsWriter writer(trap, limits, community, naming);
    writer.line("Received: " + std::string(receivedAt));
    writer.source();
    if (trap.datagram.empty()) {
        writer.line("The receiver passed on no datagram: nothing more is known of this trap.");
        return writer.take();
    }
    const snmp::Decoded<snmp::Message> message = snmp::decodeMessage(trap.datagram);
    if (!message) {
        writer.line("The datagram (" + std::to_string(trap.datagram.size()) + " bytes) does not decode: "
                    + snmp::decodeErrorText(message.failure().reason) + " at byte "
                    + std::to_string(message.failure().offset) + ".");
        return writer.take();
    }
    writer.message(*message);
    return writer.take();
}

std::string trapDetailsOwnLetterRuns()
{
    // The fixed texts of DetailsWriter and cutApart above, word for word;
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
