// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameIndex.h"

#include <algorithm>
#include <charconv>

namespace brellan::names {

namespace {

std::uint64_t edgeKey(std::uint32_t vertex, std::uint32_t arc)
{
    return (std::uint64_t{vertex} << 32) | arc;
}

} // namespace

std::size_t NameIndex::EdgeTable::slotOf(std::uint64_t key) const
{
    // Fibonacci hashing spreads keys that differ in their low arc bits.
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (m_slots.size() - 1);
}

std::uint32_t NameIndex::EdgeTable::find(std::uint32_t vertex, std::uint32_t arc) const
{
    const std::uint64_t key = edgeKey(vertex, arc);
    for (std::size_t slot = slotOf(key);; slot = (slot + 1) & (m_slots.size() - 1)) {
        if (m_slots[slot].key == key)
            return m_slots[slot].child;
        if (m_slots[slot].key == emptyKey)
            return root;
    }
}

std::pair<std::uint32_t, bool> NameIndex::EdgeTable::findOrAdd(std::uint32_t vertex, std::uint32_t arc,
                                                               std::uint32_t next)
{
    if (2 * (m_used + 1) > m_slots.size())
        grow();
    const std::uint64_t key = edgeKey(vertex, arc);
    for (std::size_t slot = slotOf(key);; slot = (slot + 1) & (m_slots.size() - 1)) {
        if (m_slots[slot].key == key)
            return {m_slots[slot].child, false};
        if (m_slots[slot].key == emptyKey) {
            m_slots[slot] = {key, next};
            ++m_used;
            return {next, true};
        }
    }
}

void NameIndex::EdgeTable::grow()
{
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(m_slots.size() * 2));
    for (const Slot& slot : old) {
        if (slot.key == emptyKey)
            continue;
        std::size_t at = slotOf(slot.key);
        while (m_slots[at].key != emptyKey)
            at = (at + 1) & (m_slots.size() - 1);
        m_slots[at] = slot;
    }
}

std::uint32_t NameIndex::vertexFor(const snmp::Oid& oid)
{
    std::uint32_t vertex = root;
    for (const std::uint32_t arc : oid) {
        const auto [child, added] =
            m_edges.findOrAdd(vertex, arc, static_cast<std::uint32_t>(m_vertexNames.size()));
        if (added)
            m_vertexNames.push_back(unnamed);
        vertex = child;
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
        vertex = m_edges.find(vertex, oid[arcs]);
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
    const std::span<const std::uint32_t> instance = oid.subspan(match.arcs);
    std::string text;
    // One allocation: the module, "::", the name, and up to 11 characters an arc.
    text.reserve(match.node->module.size() + 14 + match.node->name.size() + 11 * instance.size());
    if (match.node->module.empty()) {
        text += "enterprises.";
    } else {
        text += match.node->module;
        text += "::";
    }
    text += match.node->name;
    for (const std::uint32_t arc : instance) {
        char digits[11] = {'.'};
        const auto end = std::to_chars(digits + 1, digits + sizeof digits, arc).ptr;
        text.append(digits, end);
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
