#include "TrapQueue.h"

#include <algorithm>

namespace brellan {

bool TrapQueue::push(std::span<const ReceivedTrap> traps, std::uint64_t malformed, std::uint64_t unmatched)
{
    const std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_traps.empty();
    const std::size_t room = m_capacity - std::min(m_capacity, m_traps.size());
    const std::size_t kept = std::min(room, traps.size());
    m_traps.insert(m_traps.end(), traps.begin(), traps.begin() + static_cast<std::ptrdiff_t>(kept));
    m_counters.dropped += traps.size() - kept;
    m_counters.malformed += malformed;
    m_counters.unmatched += unmatched;
    return wasEmpty && kept > 0;
}

std::vector<ReceivedTrap> TrapQueue::take(std::size_t limit)
{
    const std::lock_guard lock(m_mutex);
    const auto count = static_cast<std::ptrdiff_t>(std::min(limit, m_traps.size()));
    std::vector<ReceivedTrap> taken(m_traps.begin(), m_traps.begin() + count);
    m_traps.erase(m_traps.begin(), m_traps.begin() + count);
    return taken;
}

TrapQueue::Counters TrapQueue::counters() const
{
    const std::lock_guard lock(m_mutex);
    return m_counters;
}

} // namespace brellan
