// SPDX-License-Identifier: GPL-3.0-or-later
// The one place the engine asks the system something only Linux answers.
#include "SocketDrops.h"

#ifdef __linux__
#include <linux/sock_diag.h>
#include <sys/socket.h>

#include <array>
#endif

namespace brellan {

#ifdef __linux__

std::optional<std::uint64_t> systemDropCount(qintptr descriptor)
{
    if (descriptor < 0)
        return std::nullopt;
    std::array<std::uint32_t, SK_MEMINFO_VARS> memory{};
    auto size = static_cast<socklen_t>(sizeof(memory));
    if (getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_MEMINFO, memory.data(), &size) != 0
        || size <= static_cast<socklen_t>(SK_MEMINFO_DROPS * sizeof(std::uint32_t)))
        return std::nullopt;
    return memory[SK_MEMINFO_DROPS];
}

#else

std::optional<std::uint64_t> systemDropCount(qintptr)
{
    return std::nullopt;
}

#endif

} // namespace brellan
