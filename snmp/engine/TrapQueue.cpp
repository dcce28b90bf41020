// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapQueue.h"

#include <algorithm>
#include <iterator>

namespace brellan {

TrapQueue::Pushed TrapQueue::push(QueuedTrap&& queued)
{
    const std::lock_guard lock(m_mutex);
    const std::size_t size = queued.trap.datagram.size();
    if (m_traps.size() >= m_limits.traps || size > m_limits.bytes - std::min(m_bytes, m_limits.bytes)) {
        ++m_counters.dropped;
        m_counters.waitingAtLastDrop = m_traps.size();
        return Pushed::Dropped;
    }
    const bool wasEmpty = m_traps.empty();
    m_bytes += size;
    m_traps.push_back(std::move(queued));
    return wasEmpty ? Pushed::QueuedIntoEmpty : Pushed::Queued;
}

void TrapQueue::countNotATrap()
{
    const std::lock_guard lock(m_mutex);
    ++m_counters.notTraps;
}

std::size_t TrapQueue::moveOldestInto(std::deque<QueuedTrap>& into, std::size_t limit)
{
    const std::lock_guard lock(m_mutex);
    const std::size_t count = std::min(limit, m_traps.size());
    if (count == 0)
        return 0;
    const auto end = m_traps.begin() + static_cast<std::ptrdiff_t>(count);
    for (auto it = m_traps.begin(); it != end; ++it)
        m_bytes -= it->trap.datagram.size();
    into.insert(into.end(), std::make_move_iterator(m_traps.begin()), std::make_move_iterator(end));
    m_traps.erase(m_traps.begin(), end);
    return count;
}

TrapQueue::Counters TrapQueue::counters() const
{
    const std::lock_guard lock(m_mutex);
    return m_counters;
}

} // namespace brellan
