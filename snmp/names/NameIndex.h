// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Oid.h"

#include <cstddef>
#include <cstdint>
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
//
// The identifiers form a tree of arcs; a lookup follows the looked-up
// identifier's arcs from the root, one hash probe per arc, and keeps the
// last node that has a name. Its cost grows with the identifier's length,
// not with the number of names.
class NameIndex {
public:
    // The node of the longest known prefix of `oid`, and how many of its
    // arcs that prefix covers (the rest is the instance's index).
    struct Match {
        const NamedNode* node = nullptr;
        std::size_t arcs = 0;
    };

    // Names `oid` as `node`, in place of any name it had.
    void add(snmp::Oid oid, NamedNode node);
    // Adds every name of `other` whose identifier has none here yet: the
    // names here win.
    void addMissing(const NameIndex& other);
    Match longestPrefix(std::span<const std::uint32_t> oid) const;
    // The name of exactly `oid`, if it has one.
    const NamedNode* find(std::span<const std::uint32_t> oid) const;
    std::size_t size() const { return m_named.size(); }
    // Every named identifier, in the order its name was first added.
    const std::vector<std::pair<snmp::Oid, NamedNode>>& entries() const { return m_named; }

private:
    static constexpr std::uint32_t root = 0;
    static constexpr std::uint32_t unnamed = UINT32_MAX;

    // The tree's edges, (parent vertex, arc) -> child vertex, in one open
    // addressing table: a look-up costs one probe of contiguous memory in
    // the common case, where a node-based map costs two pointer chases.
    class EdgeTable {
    public:
        std::uint32_t find(std::uint32_t vertex, std::uint32_t arc) const; // `root` when absent
        // The child for (vertex, arc), made `next` if absent; whether it was.
        std::pair<std::uint32_t, bool> findOrAdd(std::uint32_t vertex, std::uint32_t arc, std::uint32_t next);

    private:
        struct Slot {
            std::uint64_t key = emptyKey;
            std::uint32_t child = 0;
        };
        static constexpr std::uint64_t emptyKey = UINT64_MAX;
        std::size_t slotOf(std::uint64_t key) const;
        void grow();

        std::vector<Slot> m_slots = std::vector<Slot>(64);
        std::size_t m_used = 0;
    };

    std::uint32_t vertexFor(const snmp::Oid& oid);

    // Each vertex of the tree (the root is vertex 0) points into m_named,
    // or is `unnamed`.
    std::vector<std::uint32_t> m_vertexNames{unnamed};
    EdgeTable m_edges;
    std::vector<std::pair<snmp::Oid, NamedNode>> m_named;
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
