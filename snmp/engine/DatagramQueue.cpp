// SPDX-License-Identifier: GPL-3.0-or-later
#include "DatagramQueue.h"

#include <algorithm>
#include <iterator>

namespace brellan {

bool DatagramQueue::push(std::vector<ReceivedDatagram>& datagrams)
{
    const std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_datagrams.empty();
    for (ReceivedDatagram& datagram : datagrams) {
        const std::size_t size = datagram.bytes.size();
        if (m_datagrams.size() >= m_limits.datagrams || size > m_limits.bytes - std::min(m_bytes, m_limits.bytes)) {
            ++m_dropped;
            continue;
        }
        m_bytes += size;
        m_datagrams.push_back(std::move(datagram));
    }
    datagrams.clear();
    return wasEmpty && !m_datagrams.empty();
}

std::size_t DatagramQueue::takeOldest(std::vector<ReceivedDatagram>& into, std::size_t limit)
{
    const std::lock_guard lock(m_mutex);
    const std::size_t count = std::min(limit, m_datagrams.size());
    const auto end = m_datagrams.begin() + static_cast<std::ptrdiff_t>(count);
    for (auto it = m_datagrams.begin(); it != end; ++it)
        m_bytes -= it->bytes.size();
    into.insert(into.end(), std::make_move_iterator(m_datagrams.begin()), std::make_move_iterator(end));
    m_datagrams.erase(m_datagrams.begin(), end);
    return count;
}

std::uint64_t DatagramQueue::dropped() const
{
    const std::lock_guard lock(m_mutex);
    return m_dropped;
}

} // namespace brellan
