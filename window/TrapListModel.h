#pragma once

#include "TrapLineStore.h"

#include <QAbstractListModel>
#include <QTimer>

#include <cstddef>
#include <string_view>

namespace brellan {

// The lines of the trap list: append-only, never cleared, one column.
//
// Lines are kept as UTF-8 in a TrapLineStore, so ten million lines cost
// their text and about 4 bytes each rather than a heap block each. Appends
// are batched: a line is stored at once, but the view hears of new lines
// once per pass of the event loop, in one insertion, so a burst of traps
// costs one update of the view and one repaint instead of one per line.
class TrapListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TrapListModel(QObject* parent = nullptr);

    // Stores the line and schedules its announcement to the views.
    void append(std::string_view line);
    // Announces every stored line now; called by the timer, and by tools
    // that append without running the event loop.
    void flush();

    // Every line appended so far, announced or not.
    std::size_t storedCount() const { return m_lines.size(); }
    std::string_view line(std::size_t index) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TrapLineStore m_lines;
    std::size_t m_announced = 0;     // lines the views know of
    QTimer m_flushTimer;
};

} // namespace brellan
