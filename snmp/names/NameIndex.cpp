// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameIndex.h"

#include <algorithm>

namespace brellan::names {

void NameIndex::add(snmp::Oid oid, NamedNode node)
{
    std::sort(node.labels.begin(), node.labels.end());
    m_nodes.insert_or_assign(std::move(oid), std::move(node));
}

NameIndex::Match NameIndex::longestPrefix(std::span<const std::uint32_t> oid) const
{
    for (std::size_t arcs = oid.size(); arcs > 0; --arcs) {
        const auto found = m_nodes.find(snmp::Oid(oid.begin(), oid.begin() + static_cast<std::ptrdiff_t>(arcs)));
        if (found != m_nodes.end())
            return {&found->second, arcs};
    }
    return {};
}

std::optional<std::string> oidNameText(const NameIndex& index, std::span<const std::uint32_t> oid)
{
    const NameIndex::Match match = index.longestPrefix(oid);
    if (!match.node)
        return std::nullopt;
    std::string text = match.node->module.empty() ? "enterprises." : match.node->module + "::";
    text += match.node->name;
    for (const std::uint32_t arc : oid.subspan(match.arcs)) {
        text += '.';
        text += std::to_string(arc);
    }
    return text;
}

std::optional<std::string> labelledValueText(const NameIndex& index, std::span<const std::uint32_t> instance,
                                             std::int64_t value)
{
    const NameIndex::Match match = index.longestPrefix(instance);
    if (!match.node)
        return std::nullopt;
    const auto& labels = match.node->labels;
    const auto found = std::lower_bound(labels.begin(), labels.end(), value,
                                        [](const auto& label, std::int64_t number) { return label.first < number; });
    if (found == labels.end() || found->first != value)
        return std::nullopt;
    std::string text = found->second;
    text += '(';
    text += std::to_string(value);
    text += ')';
    return text;
}

} // namespace brellan::names
