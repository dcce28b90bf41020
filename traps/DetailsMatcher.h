// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FoldedNeedle.h"
#include "InetAddress.h"
#include "TrapDetailLines.h"
#include "TrapDetailsText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brellan {

// Tells whether a kept trap's details hold a needle, as writing out
// trapDetailsText(trap, "", limits, CommunityShown::asText, naming) and
// looking would tell, without writing most of it.
//
// The needle is typed on one line, and the details are lines
// (TrapDetailLines), each made from a few of the trap's fields: it is in
// the details when it is in one of their lines. A flood of traps repeats
// most of those fields (the community, the enterprise, the bindings of an
// interface), so the lines of a part seen before are not written again:
// whether they hold the needle is remembered against the part's bytes (a
// header, a list of bindings, a binding), and against a v1 trap's whole
// datagram but its time-stamp, with its source address, so that such a
// trap seen before costs one look-up. Only what differs from trap to trap
// (the source's port, the time-stamp, a binding of a counter) is written
// for each trap, and not even that where the needle cannot be in it. What
// is remembered is only ever what a part that read back wrote, so a trap
// that does not read back whole, or whose parts were never seen, is
// written out as before. A needle that spans lines is looked for in the
// whole text.
class DetailsMatcher {
public:
    // `naming.names` must outlive the matcher.
    DetailsMatcher(std::string_view needle, const DetailLimits& limits, OidNaming naming);

    bool matches(const snmp::InetAddress& source, std::uint16_t port, std::span<const std::uint8_t> datagram);

private:
    class Walk;

    // What a part's lines hold: the needle or not; for a binding, also
    // whether it is a v2c header's object (snmpTrapOID.0 or sysUpTime.0)
    // and whether that header's line, with its value, holds the needle.
    struct Remembered {
        bool found = false;
        std::uint8_t header = noHeader;
        bool headerFound = false;
    };
    // A field's content in the datagram.
    struct Hole {
        std::size_t offset = 0;
        std::size_t size = 0;
        bool operator==(const Hole&) const = default;
    };
    // A trap's datagram but the fields that differ from one trap of an
    // agent to its next: a v1 trap's time-stamp; a v2c trap's or inform's
    // request-id and the value of its first binding, sysUpTime.0.
    struct Shape {
        bool v2 = false;
        std::array<Hole, 2> holes{}; // in the datagram's order; a v1 trap's second is empty
        bool operator==(const Shape&) const = default;
    };
    static constexpr std::uint8_t noHeader = 0xFF;
    // Parts' bytes to what their lines hold, in one open-addressed table
    // whose keys lie end to end in one string: a look-up compares a stored
    // hash before it reads a key, and reaches no node of its own. It stays
    // within bounds: a part too large is not kept, and a full table starts
    // afresh (a flood of distinct parts costs no more).
    class Memory {
    public:
        std::optional<Remembered> find(std::string_view key) const;
        void add(std::string_view key, Remembered remembered);

    private:
        void clear();

        struct Slot {
            std::uint64_t hash = 0;
            std::uint32_t offset = 0;
            std::uint32_t length = 0; // 0: empty (no key is empty)
            Remembered remembered;
        };
        std::size_t slotOf(std::string_view key, std::uint64_t hash) const;
        void grow();

        std::vector<Slot> m_slots;
        std::string m_keys;
        std::size_t m_size = 0;
    };

    // An IPv4 source's line up to its port: whether it holds the needle,
    // and its last bytes, which a needle ending in the port may start in.
    struct SourceStart {
        bool found = false;
        std::string tail;
    };

    bool holds(std::string_view line) const { return m_needle.foundIn(line); }
    static std::optional<Shape> shapeOf(std::span<const std::uint8_t> datagram);
    void shapeKey(std::span<const std::uint8_t> datagram, const Shape& shape, std::uint32_t source);
    std::optional<bool> ownLinesHold(std::span<const std::uint8_t> datagram, const Shape& shape);
    bool upTimeHolds(std::uint32_t ticks);
    const SourceStart& sourceStart(std::uint32_t ipv4, const snmp::InetAddress& source);
    bool portHolds(const SourceStart& start, std::uint16_t port) const;
    bool datagramMatches(const snmp::InetAddress& source, std::uint16_t port, std::span<const std::uint8_t> datagram);
    bool timeStampHolds(std::uint32_t ticks);
    bool wholeTextMatches(const snmp::InetAddress& source, std::uint16_t port, std::span<const std::uint8_t> datagram) const;

    FoldedNeedle m_needle;
    TrapDetailLines m_lines;
    DetailLimits m_limits;
    OidNaming m_naming;
    bool m_spansLines = false;    // the needle holds a line break
    bool m_inEveryTrap = false;   // the needle is in the line every trap has ("Received: ")
    std::array<bool, 2> m_inNotInTheTrap{}; // the headers' lines when the trap has no such binding
    Memory m_parts;  // headers, lists and bindings
    Memory m_shapes; // v1 traps' whole datagrams but the time-stamp
    std::unordered_map<std::uint32_t, SourceStart> m_sources;
    bool m_timeStampMayHold = true; // whether a time-stamp's line may hold the needle at all
    bool m_upTimeMayHold = true;    // whether sysUpTime.0's lines may
    std::string m_upTimeBindingStart; // the line of a binding of sysUpTime.0 up to its value
    bool m_portMayHold = true;      // whether the needle may end in a source's port
    std::string m_headerKey; // a header's key, a part's key, and a line
    std::string m_key;       // written for one trap: kept from trap
    std::string m_line;      // to trap
    std::string m_shapeKey;  // a trap's whole shape
};

} // namespace brellan
