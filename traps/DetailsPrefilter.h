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
// A needle without such a byte may still hold letters that only the
// datagram can have put there. Every run of letters in the details comes
// from one of: the formatter's own words (trapDetailsOwnLetterRuns); a name
// or label (`namesLetterRuns`, shownNameLetterRuns); hexadecimal digits,
// of bytes or of a type's tag after "0x" (only a to f and x); the letter of
// an escape in a quoted string (\n \r \t \u2028), which a run of the
// string's own letters may follow ("\nfan" gives the run "nfan"); or the
// datagram's own letters, a string value or the community, in a row as the
// datagram holds them (a cut value shows a prefix). So a run of the
// needle's letters that lies in no run of the first two kinds and has a
// letter that is no hexadecimal digit must, less a first letter that an
// escape may have written, be the datagram's own letters: a datagram
// without them cannot match. Each of the needle's runs is tried, the
// longest first. Other needles (digits, punctuation, the formatter's words,
// short runs) may lie in the formatter's own writing, which the datagram
// does not show: every kept trap's details must then be formatted
// (usesDatagram() is false).
//
// Object names that the details show come from MIB files, which may hold
// any printable byte: `namesBytes` gives every byte of the names the
// formatter may write, and none of them is taken for the datagram's;
// `namesLetterRuns` every run of letters in them. A caller whose details
// show names must give both.
class DetailsPrefilter {
public:
    explicit DetailsPrefilter(std::string_view needle, std::string_view namesBytes = {},
                              std::string_view namesLetterRuns = {});

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
