// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FoldedNeedle.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace brellan {

// Tells, from a kept trap's datagram alone, whether its details text could
// hold a needle, so that a search decodes and formats only the traps it
// cannot rule out. It never rules out a trap whose details hold the needle;
// a trap it lets through may still not match, so the caller formats it and
// looks.
//
// The details text is the formatter's own writing (labels, type names,
// object names, numbers, addresses, hexadecimal, marks) around the text of
// string values and the community, which is shown as the datagram holds it
// (a prefix when cut; quotes and backslashes escaped, line breaks escaped or
// shown as spaces). The formatter's own writing uses letters, digits,
// blanks, `. : , ( ) = - " \ [ ] _ ' / +` and the ellipsis. A needle with any
// other byte (`@`, `?`, `#`, `;`, most of UTF-8...) can only be found where
// that byte came from the datagram: from that byte to the needle's next
// blank, quote or backslash (where an escape may begin) the needle is the
// datagram's own bytes, so a datagram without them cannot match.
//
// Other needles (plain words, numbers, addresses) may lie in the formatter's
// own writing, which the datagram does not show: every kept trap's details
// must then be formatted (usesDatagram() is false).
//
// Object names that the details show come from MIB files, which may hold
// any printable byte: `namesBytes` gives every byte of the names the
// formatter may write, and none of them is taken for the datagram's.
class DetailsPrefilter {
public:
    explicit DetailsPrefilter(std::string_view needle, std::string_view namesBytes = {});

    // Whether datagrams rule traps out at all for this needle.
    bool usesDatagram() const { return m_fragment.has_value(); }
    // Whether the details of a trap with this datagram may hold the needle.
    bool mayMatch(std::span<const std::uint8_t> datagram) const;

    // Whether the formatter may write this byte of its own.
    static bool formatterMayWrite(unsigned char byte);

private:
    std::optional<FoldedNeedle> m_fragment; // what the datagram must hold
};

} // namespace brellan
