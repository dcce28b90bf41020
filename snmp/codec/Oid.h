// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Object identifiers: their sub-identifiers, and their dotted decimal text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brellan::snmp {

using Oid = std::vector<std::uint32_t>;

inline constexpr std::size_t maxOidLength = 128;

// Whether BER can carry `oid` faithfully (X.690 8.19): two to maxOidLength
// arcs, the first 0, 1 or 2, the second under 40 when the first is 0 or 1,
// and the first two packed into one sub-identifier (40 * X + Y) that fits
// 32 bits, as every decoder of ours and of our peers reads it.
bool isEncodable(const Oid& oid);

// Dotted decimal text to sub-identifiers: decimal numbers up to 2^32-1
// separated by single dots, nothing else (no spaces, no leading dot, no
// empty parts), and an identifier that isEncodable. Anything else: nullopt.
std::optional<Oid> parseOid(std::string_view dotted);
std::string formatOid(const Oid& oid);

} // namespace brellan::snmp
