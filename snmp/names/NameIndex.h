// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Oid.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace brellan::names {

// A node that has a name: the module that defines it and its descriptor,
// and for an INTEGER object its named numbers.
struct NamedNode {
    std::string module; // "IF-MIB"; empty for a name from the enterprise registry
    std::string name;   // "ifOperStatus", or "ciscoSystems" for a registry name
    std::vector<std::pair<std::int64_t, std::string>> labels; // sorted by number
};

// Names by object identifier, immutable once built: the window reads one
// index while the next is built elsewhere and handed over whole.
class NameIndex {
public:
    // The node of the longest known prefix of `oid`, and how many of its
    // arcs that prefix covers (the rest is the instance's index).
    struct Match {
        const NamedNode* node = nullptr;
        std::size_t arcs = 0;
    };

    void add(snmp::Oid oid, NamedNode node);
    Match longestPrefix(std::span<const std::uint32_t> oid) const;
    std::size_t size() const { return m_nodes.size(); }

private:
    std::map<snmp::Oid, NamedNode, std::less<>> m_nodes;
};

// "IF-MIB::ifOperStatus.2"; a registry name reads from `enterprises`:
// "enterprises.ciscoSystems.1.516". Nothing when no name is known.
std::optional<std::string> oidNameText(const NameIndex& index, std::span<const std::uint32_t> oid);

// "down(2)" when the object that `instance` is an instance of names
// `value`; nothing otherwise.
std::optional<std::string> labelledValueText(const NameIndex& index, std::span<const std::uint32_t> instance,
                                             std::int64_t value);

// The names this program knows with no MIB file installed.
std::shared_ptr<const NameIndex> builtInNames();

} // namespace brellan::names
