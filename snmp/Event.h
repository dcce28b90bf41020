// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace brellan {

// A plain multicast event: every connected handler is called, in the order
// it was connected, each time the event is raised. It carries no thread
// affinity; whoever raises it decides on which thread the handlers run.
// Handlers are connected while wiring up, never from inside a handler.
template <typename... Args>
class Event {
public:
    using Handler = std::function<void(Args...)>;

    void connect(Handler handler) { m_handlers.push_back(std::move(handler)); }

    void raise(Args... args) const
    {
        for (const Handler& handler : m_handlers)
            handler(args...);
    }

private:
    std::vector<Handler> m_handlers;
};

} // namespace brellan
