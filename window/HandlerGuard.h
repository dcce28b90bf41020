// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <deque>
#include <exception>

class QWidget;

namespace brellan {

// Runs the window's event handlers so that a failure never ends the
// program and never reaches Qt's event loop: an exception abandons the
// handler where it was raised (what the handler changed before stays), and
// the operator is told what failed and why in a modal box titled "Brellan".
//
// The box is opened after the handler has returned, from the event loop,
// so the code that raised the event (the SNMP component, for one) is not
// re-entered while the operator reads it. Reports are shown one at a time;
// a burst of failures is queued up to a bound and the rest are counted.
class HandlerGuard final : public QObject {
    Q_OBJECT

public:
    // `window` parents the message boxes and owns this guard.
    explicit HandlerGuard(QWidget* window);

    // `failure` names what the handler was doing, e.g. "Could not add the agent".
    template <typename Handler>
    void run(const char* failure, Handler&& handler) noexcept
    {
        try {
            handler();
        } catch (const std::exception& error) {
            report(failure, error.what());
        } catch (...) {
            report(failure, "unknown error");
        }
    }

    static constexpr std::size_t maxPending = 8;

private:
    void report(const char* failure, const char* reason) noexcept;
    void showPending();

    QWidget* m_window;
    std::deque<QString> m_pending;
    std::size_t m_dropped = 0;
    bool m_scheduled = false;
    bool m_showing = false;
};

} // namespace brellan
