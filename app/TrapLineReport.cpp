#include "TrapLineReport.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAccessible>
#include <QWidget>

#include <cstdio>
#include <stdexcept>

namespace brellan {

TrapLineReport::TrapLineReport(QWidget& window) : QObject(&window)
{
    m_list = window.findChild<QAbstractItemView*>(QStringLiteral("lstTrapList"));
    if (!m_list || !m_list->model())
        throw std::logic_error("the window has no trap list to report");
    connect(m_list->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { report(first, last); });
}

void TrapLineReport::report(int first, int last) const
{
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m_list);
    QAccessibleTableInterface* table = list ? list->tableInterface() : nullptr;
    for (int row = first; row <= last; ++row) {
        QAccessibleInterface* cell = table ? table->cellAt(row, 0) : nullptr;
        // A line the list does not offer to a screen reader shows as empty.
        const QString text = cell ? cell->text(QAccessible::Name) : QString();
        std::printf("trap_line=%s\n", text.toUtf8().constData());
    }
    std::fflush(stdout);
}

} // namespace brellan
