#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brellan {

// Strict IPv4 dotted-decimal text: exactly four decimal parts of one to
// three digits, each 0..255, no leading zeros (so "010" is never read as
// octal by one tool and decimal by another), nothing around them. Returns
// the address in host byte order, or nullopt for anything else.
std::optional<std::uint32_t> parseIpv4Text(std::string_view text);

} // namespace brellan
