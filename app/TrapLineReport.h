#pragma once

#include <QObject>

class QAbstractItemView;
class QWidget;

namespace brellan {

// Writes "trap_line=<text>" to standard output for every line that appears
// in the window's trap list, read through the list's accessibility interface
// as a screen reader would read it. Install checks use it to see that the
// installed program received a trap. Installed only when
// BRELLAN_REPORT_TRAP_LINES is set.
class TrapLineReport final : public QObject {
public:
    explicit TrapLineReport(QWidget& window);

private:
    void report(int first, int last) const;

    QAbstractItemView* m_list = nullptr;
};

} // namespace brellan
