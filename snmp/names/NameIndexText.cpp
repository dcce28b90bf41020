// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameIndexText.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brellan::names {

namespace {

constexpr std::size_t maxLineBytes = 64 * 1024;

// Names are descriptors and module names: letters, digits, hyphens and
// underscores, never empty.
bool isSafeName(std::string_view name)
{
    if (name.empty() || name.size() > 256)
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// Dotted decimal arcs, one to maxOidLength of them ("1" names iso).
std::optional<snmp::Oid> oidOf(std::string_view dotted)
{
    snmp::Oid oid;
    const char* at = dotted.data();
    const char* const end = dotted.data() + dotted.size();
    while (oid.size() < snmp::maxOidLength) {
        std::uint32_t arc = 0;
        const auto [next, error] = std::from_chars(at, end, arc);
        if (error != std::errc() || next == at)
            return std::nullopt;
        oid.push_back(arc);
        if (next == end)
            return oid;
        if (*next != '.')
            return std::nullopt;
        at = next + 1;
    }
    return std::nullopt;
}

std::optional<std::pair<std::int64_t, std::string>> labelOf(std::string_view field)
{
    const std::size_t equals = field.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + equals, number);
    const std::string_view label = field.substr(equals + 1);
    if (error != std::errc() || end != field.data() + equals || !isSafeName(label))
        return std::nullopt;
    return std::pair{number, std::string(label)};
}

std::optional<std::pair<snmp::Oid, NamedNode>> entryOf(std::string_view line)
{
    const std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.size() < 3 || !isSafeName(fields[1]) || !isSafeName(fields[2]))
        return std::nullopt;
    std::optional<snmp::Oid> oid = oidOf(fields[0]);
    if (!oid)
        return std::nullopt;
    NamedNode node{std::string(fields[1]), std::string(fields[2]), {}};
    for (std::size_t at = 3; at < fields.size(); ++at) {
        auto label = labelOf(fields[at]);
        if (!label)
            return std::nullopt;
        node.labels.push_back(std::move(*label));
    }
    return std::pair{std::move(*oid), std::move(node)};
}

} // namespace

void writeNameIndex(const NameIndex& index, std::ostream& out)
{
    for (const auto& [oid, node] : index.entries()) {
        out << snmp::formatOid(oid) << '\t' << node.module << '\t' << node.name;
        for (const auto& [number, label] : node.labels)
            out << '\t' << number << '=' << label;
        out << '\n';
    }
}

NameIndex readNameIndex(std::istream& in, std::size_t maxNames)
{
    NameIndex index;
    std::string line;
    while (index.size() < maxNames && std::getline(in, line)) {
        if (line.size() > maxLineBytes)
            continue;
        if (auto entry = entryOf(line))
            index.add(std::move(entry->first), std::move(entry->second));
    }
    return index;
}

} // namespace brellan::names
