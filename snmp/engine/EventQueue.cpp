#include "EventQueue.h"

#include <QtGlobal>

#include <exception>
#include <utility>

namespace brellan {

void EventQueue::post(Kind kind, std::function<void()> deliver)
{
    if (m_pending.size() >= m_capacity) {
        ++m_overflowed;
        return;
    }
    m_pending.push_back({kind, std::move(deliver)});
    if (m_delivering)
        return;

    m_delivering = true;
    while (!m_pending.empty()) {
        const std::function<void()> next = std::move(m_pending.front().deliver);
        m_pending.pop_front();
        runGuarded(next);
    }
    m_delivering = false;
    if (m_idle)
        m_idle();
}

void EventQueue::dropResponses()
{
    std::erase_if(m_pending, [](const Entry& entry) { return entry.kind == Kind::Response; });
}

void EventQueue::runGuarded(const std::function<void()>& deliver)
{
    try {
        deliver();
    } catch (const std::exception& error) {
        qWarning("SNMP event handler failed: %s", error.what());
    } catch (...) {
        qWarning("SNMP event handler failed with an unknown exception");
    }
}

} // namespace brellan
