// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace brellan {

// How many datagrams the system has dropped on the socket since it was
// opened, most of them because its receive buffer was full; nothing where
// the system does not tell (anywhere but Linux), or when it cannot be read.
// Reading it needs no privilege. The count is the system's, 32 bits wide.
std::optional<std::uint64_t> systemDropCount(qintptr descriptor);

} // namespace brellan
