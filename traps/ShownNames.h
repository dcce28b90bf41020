// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NameIndex.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brellan {

// Names as they may reach the screen. A name comes from a MIB file, which
// may be hostile: one that holds anything but printable ASCII other than the
// space is not shown, so that no name can start a line, hide or reorder what
// follows it, or pass for the text around it ("x = INTEGER: up(1)"). The
// caller then shows the number, as for an identifier with no name.

// "IF-MIB::ifOperStatus.2", or nothing when no name is known or the name is
// not shown.
std::optional<std::string> shownOidName(const names::NameIndex& names, std::span<const std::uint32_t> oid);

// "down(2)" when the object that `instance` is an instance of names `value`
// and the label may be shown; nothing otherwise.
std::optional<std::string> shownValueLabel(const names::NameIndex& names, std::span<const std::uint32_t> instance,
                                           std::int64_t value);

// Every byte that a shown name or label of `names` may hold, once each, in
// no order ("::" and "." between module, name and index; "(" and ")" round
// a label's number included): what a search of the details must not take
// for the datagram's own bytes.
std::string shownNameBytes(const names::NameIndex& names);

// Every run of letters that a shown name or label of `names` may hold,
// lower-cased, each followed by a blank (appendFoldedLetterRuns): what a
// search must not require of the datagram. Runs of names that are never
// shown are in it too, which only costs the search some speed.
std::string shownNameLetterRuns(const names::NameIndex& names);

} // namespace brellan
