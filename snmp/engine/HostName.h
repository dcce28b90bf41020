// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace brellan {

// A host name as RFC 1123 writes them: labels of letters, digits, hyphens
// (and the underscores that local hosts files often hold), one to 63
// characters, not starting or ending with a hyphen, at most 253 characters
// in all, with an optional final dot. A name whose last label is all digits
// is refused: resolvers read "1.2.3" or "10.1" as an address.
bool isHostName(std::string_view text);

} // namespace brellan
