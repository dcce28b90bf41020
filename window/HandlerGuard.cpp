// SPDX-License-Identifier: GPL-3.0-or-later
#include "HandlerGuard.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace brellan {

HandlerGuard::HandlerGuard(QWidget* window) : QObject(window), m_window(window) {}

void HandlerGuard::report(const char* failure, const char* reason) noexcept
{
    try {
        if (m_pending.size() >= maxPending) {
            ++m_dropped;
        } else {
            m_pending.push_back(QString::fromUtf8(failure) + QStringLiteral(": ") + QString::fromUtf8(reason));
        }
        if (!m_scheduled && !m_showing) {
            m_scheduled = true;
            QMetaObject::invokeMethod(this, &HandlerGuard::showPending, Qt::QueuedConnection);
        }
    } catch (...) {
        // Out of memory while reporting: the failure goes unreported, the program goes on.
    }
}

void HandlerGuard::showPending()
{
    m_scheduled = false;
    m_showing = true;
    const QPointer<HandlerGuard> alive(this);
    while (!m_pending.empty() || m_dropped > 0) {
        QString text;
        if (!m_pending.empty()) {
            text = m_pending.front();
            m_pending.pop_front();
        } else {
            text = QStringLiteral("%1 more failures were not reported one by one.").arg(m_dropped);
            m_dropped = 0;
        }
        const QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Brellan"), text,
                                                          QMessageBox::Ok, m_window);
        box->setObjectName(QStringLiteral("failureReport"));
        box->exec();
        if (!alive)
            return; // the window went away while the box was open
        delete box.data();
    }
    m_showing = false;
}

} // namespace brellan
