#include "FirstPaintReport.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace brellan {

FirstPaintReport::FirstPaintReport(QWidget& watched) : QObject(&watched)
{
    watched.installEventFilter(this);
}

bool FirstPaintReport::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && !m_reported) {
        m_reported = true;
        // A zero timer fires once this paint and its flush to the screen are done.
        QTimer::singleShot(0, this, [] {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("first_paint_epoch_ns=%lld\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            std::fflush(stdout);
        });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace brellan
