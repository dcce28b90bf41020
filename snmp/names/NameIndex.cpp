// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameIndex.h"

#include <algorithm>

namespace brellan::names {

std::uint32_t NameIndex::childOf(std::uint32_t vertex, std::uint32_t arc) const
{
    const auto found = m_edges.find(edgeKey(vertex, arc));
    return found == m_edges.end() ? root : found->second;
}

std::uint32_t NameIndex::vertexFor(const snmp::Oid& oid)
{
    std::uint32_t vertex = root;
    for (const std::uint32_t arc : oid) {
        const auto [edge, added] = m_edges.try_emplace(edgeKey(vertex, arc), 0);
        if (added) {
            edge->second = static_cast<std::uint32_t>(m_vertexNames.size());
            m_vertexNames.push_back(unnamed);
        }
        vertex = edge->second;
    }
    return vertex;
}

void NameIndex::add(snmp::Oid oid, NamedNode node)
{
    if (oid.empty())
        return;
    std::sort(node.labels.begin(), node.labels.end());
    const std::uint32_t vertex = vertexFor(oid);
    std::uint32_t& slot = m_vertexNames[vertex];
    if (slot == unnamed) {
        slot = static_cast<std::uint32_t>(m_named.size());
        m_named.emplace_back(std::move(oid), std::move(node));
    } else {
        m_named[slot].second = std::move(node);
    }
}

void NameIndex::addMissing(const NameIndex& other)
{
    for (const auto& [oid, node] : other.m_named)
        if (!find(oid))
            add(oid, node);
}

NameIndex::Match NameIndex::longestPrefix(std::span<const std::uint32_t> oid) const
{
    Match match;
    std::uint32_t vertex = root;
    for (std::size_t arcs = 0; arcs < oid.size(); ++arcs) {
        vertex = childOf(vertex, oid[arcs]);
        if (vertex == root)
            break;
        if (m_vertexNames[vertex] != unnamed)
            match = {&m_named[m_vertexNames[vertex]].second, arcs + 1};
    }
    return match;
}

const NamedNode* NameIndex::find(std::span<const std::uint32_t> oid) const
{
    const Match match = longestPrefix(oid);
    return match.arcs == oid.size() ? match.node : nullptr;
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
