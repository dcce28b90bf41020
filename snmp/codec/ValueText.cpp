// SPDX-License-Identifier: GPL-3.0-or-later
// The text an operator sees for each value syntax.

#include "BerReader.h"
#include "Overloaded.h"
#include "Value.h"

#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace brellan::snmp {

namespace {

std::string hexText(const std::vector<std::uint8_t>& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

// The length of the UTF-8 sequence at `position` and its code point, or
// nullopt when it is not well-formed (overlong, surrogate, past U+10FFFF,
// cut short).
struct CodePoint {
    char32_t value;
    std::size_t length;
};

std::optional<CodePoint> decodeUtf8(std::string_view text, std::size_t position)
{
    const auto lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if (lead < 0x80)
        return CodePoint{lead, 1};
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - position < length)
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[position + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return CodePoint{value, length};
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Unicode's format characters (general category Cf, Unicode 15): invisible,
// and some reorder the text around them, so "admin@" U+202E "toh.evil"
// would show as "admin@live.hot". A value holding one is shown in hex.
bool isFormatCharacter(char32_t c)
{
    struct Range {
        char32_t first;
        char32_t last;
    };
    static constexpr Range ranges[] = {
        {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
        {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
        {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
        {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
        {0xE0020, 0xE007F},
    };
    for (const Range& range : ranges) {
        if (c >= range.first && c <= range.last)
            return true;
    }
    return false;
}

// Tab, carriage return, line feed and the Unicode line and paragraph
// separators: shown as spaces in a one-line box.
bool isLineBreak(char32_t c)
{
    return c == '\t' || c == '\r' || c == '\n' || c == 0x2028 || c == 0x2029;
}

// How displayText writes the line breaks above: as spaces, for a one-line
// box; or escaped, for text in double quotes, where a double quote and a
// backslash are escaped too, so the text can neither end its quotes early nor
// start a new line that passes for another binding.
enum class LineBreaks { asSpaces, escaped };

std::string escapedBreak(char32_t c)
{
    switch (c) {
    case '\t': return "\\t";
    case '\r': return "\\r";
    case '\n': return "\\n";
    case 0x2028: return "\\u2028";
    default: return "\\u2029";
    }
}

// The string as display text, or nullopt when it is not valid UTF-8 or holds
// a control or format character other than the line breaks above (written
// as `breaks` says). One trailing NUL, as C agents often send, is dropped.
std::optional<std::string> displayText(const std::vector<std::uint8_t>& bytes, LineBreaks breaks)
{
    const bool escaped = breaks == LineBreaks::escaped;
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!raw.empty() && raw.back() == '\0')
        raw.remove_suffix(1);
    std::string text;
    text.reserve(raw.size());
    for (std::size_t position = 0; position < raw.size();) {
        // Printable ASCII, most of what agents send, is taken as it is.
        const auto byte = static_cast<unsigned char>(raw[position]);
        if (byte >= 0x20 && byte < 0x7F) {
            if (escaped && (byte == '"' || byte == '\\'))
                text += '\\';
            text += raw[position++];
            continue;
        }
        const std::optional<CodePoint> point = decodeUtf8(raw, position);
        if (!point)
            return std::nullopt;
        if (isLineBreak(point->value))
            text += escaped ? escapedBreak(point->value) : std::string(" ");
        else if (isControl(point->value) || isFormatCharacter(point->value))
            return std::nullopt;
        else
            text.append(raw.substr(position, point->length));
        position += point->length;
    }
    return text;
}

std::string timeTicksText(std::uint32_t ticks)
{
    std::string text;
    appendTimeTicksText(text, ticks);
    return text;
}

// "(27390607) 3 days, 4:05:06.07", "(249784) 0:41:37.84": the raw ticks,
// then the duration, the days left out when there are none.
std::string ticksAndDurationText(std::uint32_t ticks)
{
    const std::uint32_t days = ticks / 8640000;
    char clock[32];
    std::snprintf(clock, sizeof clock, "%u:%02u:%02u.%02u", ticks / 360000 % 24, ticks / 6000 % 60, ticks / 100 % 60,
                  ticks % 100);
    // Appended piece by piece: GCC 12 at -O3 takes "(" + std::string for an
    // overlapping copy (-Wrestrict) and fails a -Werror build.
    std::string text = "(";
    text += std::to_string(ticks);
    text += ") ";
    if (days != 0)
        text += std::to_string(days) + (days == 1 ? " day, " : " days, ");
    return text + clock;
}

// UInteger32 is kept as an Opaque with its own tag: its number when its
// bytes hold one, else nullopt.
std::optional<std::uint32_t> uinteger32Of(const Opaque& opaque)
{
    if (opaque.berTag != tag::uinteger32)
        return std::nullopt;
    const Decoded<std::uint32_t> number = decodeUnsigned32(BerElement{opaque.berTag, opaque.bytes});
    return number ? std::optional(*number) : std::nullopt;
}

TypedValueText opaqueTyped(const Opaque& opaque)
{
    if (opaque.berTag == tag::opaque)
        return {"OPAQUE", hexText(opaque.bytes)};
    if (const std::optional<std::uint32_t> number = uinteger32Of(opaque))
        return {"UInteger32", std::to_string(*number)};
    char type[32];
    std::snprintf(type, sizeof type, "Unknown type 0x%02X", static_cast<unsigned>(opaque.berTag));
    return {type, hexText(opaque.bytes)};
}

std::string dottedBytes(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(bytes[i]);
    }
    return text;
}

} // namespace

// "3 days, 04:05:06.07 (27390607)": hundredths of a second, always with the
// day count ("1 day" in the singular). Written digit by digit, with no
// formatting call: a search writes it for every trap it looks at.
void appendTimeTicksText(std::string& text, std::uint32_t ticks)
{
    const auto appendNumber = [&text](std::uint32_t number) {
        char digits[10];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
        text.append(digits, end);
    };
    const auto appendTwoDigits = [&text](std::uint32_t number) {
        text += static_cast<char>('0' + number / 10);
        text += static_cast<char>('0' + number % 10);
    };
    const std::uint32_t days = ticks / 8640000;
    appendNumber(days);
    text += days == 1 ? " day, " : " days, ";
    appendTwoDigits(ticks / 360000 % 24);
    text += ':';
    appendTwoDigits(ticks / 6000 % 60);
    text += ':';
    appendTwoDigits(ticks / 100 % 60);
    text += '.';
    appendTwoDigits(ticks % 100);
    text += " (";
    appendNumber(ticks);
    text += ')';
}

// INTEGER signed decimal; Counter and Gauge unsigned decimal; TimeTicks as a
// duration followed by the raw ticks; OBJECT IDENTIFIER and IpAddress dotted
// (a zero-length identifier as 0.0);
// NULL empty; OCTET STRING as text when it reads as text, else hexadecimal
// bytes "00 1A FF"; Opaque (and unknown application types) hexadecimal;
// Counter64 unsigned decimal; the exception values by their names.
std::string valueText(const Value& value)
{
    return std::visit(
        Overloaded{
            [](const Null&) { return std::string(); },
            [](const Integer& integer) { return std::to_string(integer.value); },
            [](const OctetString& string) {
                std::optional<std::string> text = displayText(string.bytes, LineBreaks::asSpaces);
                return text ? std::move(*text) : hexText(string.bytes);
            },
            [](const ObjectIdentifier& identifier) {
                // The empty identifier of a zero-length value reads as the null one.
                return identifier.oid.empty() ? std::string("0.0") : formatOid(identifier.oid);
            },
            [](const IpAddress& address) { return dottedBytes(address.octets); },
            [](const Counter& counter) { return std::to_string(counter.value); },
            [](const Gauge& gauge) { return std::to_string(gauge.value); },
            [](const TimeTicks& ticks) { return timeTicksText(ticks.value); },
            [](const Opaque& opaque) { return hexText(opaque.bytes); },
            [](const Counter64& counter) { return std::to_string(counter.value); },
            [](const NoSuchObject&) { return std::string("noSuchObject"); },
            [](const NoSuchInstance&) { return std::string("noSuchInstance"); },
            [](const EndOfMibView&) { return std::string("endOfMibView"); },
        },
        value);
}

// Each value beside its type, as Net-SNMP's tools print it: OCTET STRING as
// "STRING" and its text, quoted and escaped, when it reads as text (the same
// test as valueText's), else as "Hex-STRING" and its bytes; INTEGER, IpAddress,
// OID, Timeticks "(ticks) duration", Counter32, Gauge32, Counter64, OPAQUE in
// hexadecimal, UInteger32 when its bytes hold one, and any other application
// type as "Unknown type 0xNN" and its bytes; NULL and the exception values as
// their names alone. (Net-SNMP writes an empty string as "" alone; here it
// keeps its type, as every value does.)
TypedValueText typedValueText(const Value& value)
{
    return std::visit(
        Overloaded{
            [](const Null&) { return TypedValueText{"NULL", {}}; },
            [](const Integer& integer) { return TypedValueText{"INTEGER", std::to_string(integer.value)}; },
            [](const OctetString& string) {
                std::optional<std::string> text = displayText(string.bytes, LineBreaks::escaped);
                return text ? TypedValueText{"STRING", std::move(*text), true}
                            : TypedValueText{"Hex-STRING", hexText(string.bytes)};
            },
            [](const ObjectIdentifier& identifier) {
                return TypedValueText{"OID", identifier.oid.empty() ? std::string("0.0") : formatOid(identifier.oid)};
            },
            [](const IpAddress& address) { return TypedValueText{"IpAddress", dottedBytes(address.octets)}; },
            [](const Counter& counter) { return TypedValueText{"Counter32", std::to_string(counter.value)}; },
            [](const Gauge& gauge) { return TypedValueText{"Gauge32", std::to_string(gauge.value)}; },
            [](const TimeTicks& ticks) { return TypedValueText{"Timeticks", ticksAndDurationText(ticks.value)}; },
            [](const Opaque& opaque) { return opaqueTyped(opaque); },
            [](const Counter64& counter) { return TypedValueText{"Counter64", std::to_string(counter.value)}; },
            [](const NoSuchObject&) { return TypedValueText{"noSuchObject", {}}; },
            [](const NoSuchInstance&) { return TypedValueText{"noSuchInstance", {}}; },
            [](const EndOfMibView&) { return TypedValueText{"endOfMibView", {}}; },
        },
        value);
}

} // namespace brellan::snmp
