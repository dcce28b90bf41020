// SPDX-License-Identifier: GPL-3.0-or-later
// Object identifiers as dotted decimal text.

#include "Oid.h"

#include <charconv>
#include <iterator>
#include <limits>

namespace brellan::snmp {

namespace {

// One arc: decimal digits only, no sign, no more than fits 32 bits.
std::optional<std::uint32_t> parseArc(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::optional<Oid> parseOid(std::string_view dotted)
{
    Oid oid;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = dotted.find('.', start);
        const std::string_view part = dotted.substr(start, dot == std::string_view::npos ? dotted.npos : dot - start);
        const std::optional<std::uint32_t> arc = parseArc(part);
        if (!arc || oid.size() == maxOidLength)
            return std::nullopt;
        oid.push_back(*arc);
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    if (!isEncodable(oid))
        return std::nullopt;
    return oid;
}

bool isEncodable(const Oid& oid)
{
    if (oid.size() < 2 || oid.size() > maxOidLength)
        return false;
    // X.660: the first arc is 0, 1 or 2; under 0 and 1 there are 40 arcs.
    if (oid[0] > 2 || (oid[0] < 2 && oid[1] >= 40))
        return false;
    return std::uint64_t{oid[0]} * 40 + oid[1] <= std::numeric_limits<std::uint32_t>::max();
}

std::string formatOid(const Oid& oid)
{
    std::string text;
    text.reserve(oid.size() * 4);
    char arc[std::numeric_limits<std::uint32_t>::digits10 + 2];
    for (std::size_t i = 0; i < oid.size(); ++i) {
        if (i > 0)
            text += '.';
        const std::to_chars_result written = std::to_chars(std::begin(arc), std::end(arc), oid[i]);
        text.append(arc, written.ptr);
    }
    return text;
}

} // namespace brellan::snmp
