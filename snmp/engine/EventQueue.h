#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

namespace brellan {

// Delivers the engine's events one at a time. A handler may open a modal
// dialog, whose nested event loop lets more datagrams in; an event raised
// while a handler is still running waits here and is delivered after that
// handler returns, in arrival order. An exception escaping a handler is
// logged and swallowed: it must never unwind into Qt's event loop.
class EventQueue {
public:
    enum class Kind { Response, Trap };

    explicit EventQueue(std::size_t capacity) : m_capacity(capacity) {}

    // Runs `deliver` now, or queues it when a delivery is in progress.
    // A full queue drops the event and counts it.
    void post(Kind kind, std::function<void()> deliver);
    // Forgets queued responses (traps stay): they answer abandoned requests.
    void dropResponses();
    // True while a handler runs: what is posted now waits for it.
    bool busy() const { return m_delivering; }
    // Called each time the last waiting event has been delivered, so that
    // a source holding events back while the queue was busy sends them on.
    void setIdleHandler(std::function<void()> idle) { m_idle = std::move(idle); }

    std::uint64_t overflowed() const { return m_overflowed; }
    std::size_t pending() const { return m_pending.size(); }

private:
    struct Entry {
        Kind kind;
        std::function<void()> deliver;
    };

    static void runGuarded(const std::function<void()>& deliver);

    std::size_t m_capacity;
    std::deque<Entry> m_pending;
    std::function<void()> m_idle;
    bool m_delivering = false;
    std::uint64_t m_overflowed = 0;
};

} // namespace brellan
