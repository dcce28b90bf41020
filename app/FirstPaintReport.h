#pragma once

#include <QObject>

class QWidget;

namespace brellan {

// Reports, once, when a widget has painted for the first time: it writes
// "first_paint_epoch_ns=<nanoseconds since 1970>" to standard output after
// the first paint event has been handled and the frame handed to the window
// system. The start-up benchmark compares that with the moment it launched
// the program. Installed only when BRELLAN_REPORT_FIRST_PAINT is set.
class FirstPaintReport final : public QObject {
public:
    explicit FirstPaintReport(QWidget& watched);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_reported = false;
};

} // namespace brellan
