// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapListView.h"

#include <QCursor>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>

namespace brellan {
namespace {

// Pixel positions far outside the viewport are pinned here, so that row
// times height never overflows an int however long the list.
constexpr qint64 farAway = qint64{1} << 30;

int pinned(qint64 pixels)
{
    return static_cast<int>(std::clamp(pixels, -farAway, farAway));
}

} // namespace

TrapListView::TrapListView(QWidget* parent) : QListView(parent)
{
    setUniformItemSizes(true); // reads true: every row takes the last row's size (see the class)
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
}

int TrapListView::rows() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TrapListView::topRow() const
{
    return verticalScrollBar()->value();
}

int TrapListView::rowsInSight() const
{
    const qint64 height = qint64{rows()} * m_rowHeight;
    return height <= viewport()->height() ? rows() : viewport()->height() / m_rowHeight;
}

qint64 TrapListView::rowAt(int y) const
{
    const int whole = y >= 0 ? y / m_rowHeight : -((-y + m_rowHeight - 1) / m_rowHeight);
    return qint64{topRow()} + whole;
}

int TrapListView::rowWidth() const
{
    return std::max(m_rowsWidth, viewport()->width());
}

QModelIndex TrapListView::indexOfRow(qint64 row) const
{
    if (!model() || row < 0 || row >= rows())
        return {};
    return model()->index(static_cast<int>(row), modelColumn(), rootIndex());
}

// The last row's size stands for every row's, as QListView takes it with
// uniformItemSizes each time it lays out (that is, on every insertion).
void TrapListView::measureRows()
{
    const QModelIndex last = indexOfRow(qint64{rows()} - 1);
    if (!last.isValid()) {
        m_rowHeight = std::max(1, fontMetrics().height());
        m_rowsWidth = 0;
        return;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QSize size = itemDelegateForIndex(last)->sizeHint(option, last);
    m_rowHeight = std::max(1, size.height());
    m_rowsWidth = size.width();
}

void TrapListView::reserveBottom(int pixels)
{
    setViewportMargins(0, 0, 0, std::max(0, pixels));
}

QRect TrapListView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != modelColumn())
        return {};
    const qint64 top = (qint64{index.row()} - topRow()) * m_rowHeight;
    return QRect(-horizontalOffset(), pinned(top), rowWidth(), m_rowHeight);
}

QModelIndex TrapListView::indexAt(const QPoint& point) const
{
    const QModelIndex index = indexOfRow(rowAt(point.y()));
    return visualRect(index).contains(point) ? index : QModelIndex();
}

void TrapListView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid() || index.parent() != rootIndex())
        return;
    const int row = index.row();
    const int page = std::max(1, rowsInSight());
    int top = topRow();
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            top = row;
        else if (row >= top + page)
            top = row - page + 1;
        break;
    case PositionAtTop: top = row; break;
    case PositionAtBottom: top = row - page + 1; break;
    case PositionAtCenter: top = row - page / 2; break;
    }
    verticalScrollBar()->setValue(top); // the scroll bar keeps it in range
}

void TrapListView::doItemsLayout()
{
    measureRows();
    QAbstractItemView::doItemsLayout(); // geometries and a repaint; not QListView's layout
}

// The one place that new lines cost the view anything: the scroll bars'
// ranges and a repaint of what is in sight, whatever the rows' number.
void TrapListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    if (parent == rootIndex()) {
        const bool followingTheEnd = verticalScrollBar()->value() >= verticalScrollBar()->maximum();
        measureRows();
        updateGeometries();
        if (followingTheEnd)
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        viewport()->update();
    }
    QAbstractItemView::rowsInserted(parent, start, end);
}

// Not QListView's: see the class.
void TrapListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    scheduleDelayedItemsLayout();
}

// Not QListView's: see the class.
void TrapListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

// Vertical steps are whole rows.
void TrapListView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, pinned(qint64{dy} * m_rowHeight));
}

// Not QListView's: see the class.
void TrapListView::resizeEvent(QResizeEvent* event)
{
    QAbstractItemView::resizeEvent(event); // which updates the geometries
}

void TrapListView::paintEvent(QPaintEvent* event)
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QModelIndex hover =
        viewport()->underMouse() ? indexAt(viewport()->mapFromGlobal(QCursor::pos())) : QModelIndex();
    const QStyle::State state = option.state;
    const bool enabled = state.testFlag(QStyle::State_Enabled);
    const QRect dirty = event->rect();
    const qint64 last = std::min<qint64>(rows() - 1, rowAt(dirty.bottom()));
    for (qint64 row = std::max<qint64>(0, rowAt(dirty.top())); row <= last; ++row) {
        const QModelIndex index = indexOfRow(row);
        option.rect = visualRect(index);
        option.state = state;
        option.state.setFlag(QStyle::State_Selected, selectionModel() && selectionModel()->isSelected(index));
        if (enabled) {
            const bool itemEnabled = model()->flags(index).testFlag(Qt::ItemIsEnabled);
            option.state.setFlag(QStyle::State_Enabled, itemEnabled);
            option.palette.setCurrentColorGroup(itemEnabled ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        option.state.setFlag(QStyle::State_MouseOver, index == hover);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

int TrapListView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int TrapListView::verticalOffset() const
{
    return pinned(qint64{topRow()} * m_rowHeight);
}

// As QListView moves in a top-to-bottom list: a row up or down, a page
// less one row, or to either end.
QModelIndex TrapListView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return indexOfRow(0);
    const qint64 row = current.row();
    const qint64 page = std::max(1, rowsInSight() - 1);
    qint64 target = row;
    switch (action) {
    case MoveUp:
    case MovePrevious: target = row - 1; break;
    case MoveDown:
    case MoveNext: target = row + 1; break;
    case MovePageUp: target = std::max<qint64>(0, row - page); break;
    case MovePageDown: target = std::min<qint64>(rows() - 1, row + page); break;
    case MoveHome: target = 0; break;
    case MoveEnd: target = rows() - 1; break;
    case MoveLeft:
    case MoveRight: break;
    }
    const QModelIndex moved = indexOfRow(target);
    return moved.isValid() ? moved : current;
}

void TrapListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    if (!selectionModel())
        return;
    // A selection dragged or extended upwards comes as a rectangle whose
    // corners are the other way round.
    const QRect area = rect.normalized();
    QItemSelection selection;
    const QModelIndex first = indexOfRow(std::max<qint64>(0, rowAt(area.top())));
    const QModelIndex last = indexOfRow(std::min<qint64>(rows() - 1, rowAt(area.bottom())));
    const bool across = area.right() >= -horizontalOffset() && area.left() < rowWidth() - horizontalOffset();
    if (first.isValid() && last.isValid() && first.row() <= last.row() && across)
        selection.select(first, last);
    selectionModel()->select(selection, command);
}

void TrapListView::selectAll()
{
    const QModelIndex first = indexOfRow(0);
    if (!selectionModel() || !first.isValid()
        || (selectionMode() != MultiSelection && selectionMode() != ExtendedSelection))
        return;
    selectionModel()->select(QItemSelection(first, indexOfRow(qint64{rows()} - 1)),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QRegion TrapListView::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const QRect top = visualRect(indexOfRow(range.top()));
        const QRect bottom = visualRect(indexOfRow(range.bottom()));
        region += QRect(top.topLeft(), bottom.bottomRight()).intersected(viewport()->rect());
    }
    return region;
}

QModelIndexList TrapListView::selectedIndexes() const
{
    return QAbstractItemView::selectedIndexes();
}

// QListView's page step, ranges and steps for a top-to-bottom list scrolled
// by rows; the rows are counted, not laid out.
void TrapListView::updateGeometries()
{
    const int page = rowsInSight();
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setRange(0, std::max(0, rows() - page));
    horizontalScrollBar()->setSingleStep(std::max(1, m_rowsWidth));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, m_rowsWidth - viewport()->width()));
    QAbstractItemView::updateGeometries();
}

bool TrapListView::isIndexHidden(const QModelIndex&) const
{
    return false;
}

// A screen reader hears of the row that was selected or took the focus;
// each row is the list's child of the same number. Of a range selected at
// once (Ctrl+A, Shift), it hears of the first row.
void TrapListView::announce(QAccessible::Event event, const QModelIndex& index)
{
#if QT_CONFIG(accessibility)
    if (!QAccessible::isActive() || !index.isValid())
        return;
    QAccessibleEvent change(this, event);
    change.setChild(index.row());
    QAccessible::updateAccessibility(&change);
#else
    Q_UNUSED(event);
    Q_UNUSED(index);
#endif
}

void TrapListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    // Never selected.indexes(): a range of ten million rows would make ten
    // million indexes.
    announce(QAccessible::SelectionAdd, selected.isEmpty() ? QModelIndex() : QModelIndex(selected.first().topLeft()));
    announce(QAccessible::SelectionRemove, deselected.isEmpty() ? QModelIndex() : QModelIndex(deselected.first().topLeft()));
    QAbstractItemView::selectionChanged(selected, deselected);
}

void TrapListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (hasFocus())
        announce(QAccessible::Focus, current);
    QAbstractItemView::currentChanged(current, previous);
}

QSize TrapListView::viewportSizeHint() const
{
    return QSize(m_rowsWidth, pinned(qint64{rows()} * m_rowHeight));
}

} // namespace brellan
