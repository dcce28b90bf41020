// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QListView>

namespace brellan {

// The trap list's view: a QListView whose rows all take the size of one,
// so that where each row lies is computed (row times height), never
// laid out. QListView lays out and stores every row, and does it again for
// all of them on each insertion, so that its cost per new line grows with
// the lines already shown (a third of a second with five million), and it
// draws nothing until the layout is done. Here adding lines costs the same
// with ten million rows as with none, and nothing is kept per row.
//
// It looks and scrolls as QListView does in list mode with uniform item
// sizes: one column, rows as wide as the view (or as the last row's text,
// if that is wider), scrolling by whole rows. While the last row is in sight, new rows
// keep it in sight; once the operator has scrolled up, the view stays put.
//
// Several lines may be selected (Shift or Ctrl with a click or the arrow
// keys, Ctrl+A for all), and the selection is copied: Ctrl+C copies the
// lines, Ctrl+Shift+C each line followed by its trap's details (with a
// TrapListModel). The selection is only ever read as ranges of rows, never
// row by row, so that selecting and copying ten million lines costs what
// the copy holds, and a copy holds at most TrapListModel::maxCopyBytes: past
// that the operator is told how much was copied.
//
// Ctrl+F, F3 and Shift+F3 open the find field over the list (FindBar) and
// step through the matches; Esc on the list closes that field. The field
// ends the rows above itself while it is open (reserveBottom).
//
// Why a QListView that skips QListView's own layout: the window, its tests
// and the tools find the list as a QListView; screen readers get it as a
// list (Qt's accessibility gives a QListView the list role, with each row a
// child of it), and its rows the item options QListView gives them. But
// QListView's versions of doItemsLayout, rowsAboutToBeRemoved, dataChanged
// and resizeEvent build, mend or schedule again its layout of every row, the
// layout this view never builds: these overrides call QAbstractItemView's
// versions instead. uniformItemSizes is set, as that is what this view does
// whatever the property says; clearing it changes nothing.
class TrapListView final : public QListView {
    Q_OBJECT

public:
    explicit TrapListView(QWidget* parent = nullptr);

    // Names the copy keys and the find keys (FindBar), for the list's tooltip.
    static QString keysText();
    // Copies the selected lines (or, with none selected, the current one)
    // to the clipboard, with or without their details.
    void copySelection(bool withDetails);

    // Ends the rows `pixels` above the list's bottom, for what lies over it
    // there (the find field); 0 gives the rows the whole list again.
    void reserveBottom(int pixels);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;
    // All rows as one range. (QListView goes through every row to leave out
    // hidden ones, which this view never has: half a second for ten million.)
    void selectAll() override;

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    QModelIndexList selectedIndexes() const override;
    void updateGeometries() override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QSize viewportSizeHint() const override;

private:
    int rows() const;
    int topRow() const;
    // Rows wholly in sight, as QListView counts them for its page step.
    int rowsInSight() const;
    // The row at viewport height `y` (maybe outside the list).
    qint64 rowAt(int y) const;
    int rowWidth() const;
    QModelIndex indexOfRow(qint64 row) const;
    void measureRows();
    void announce(QAccessible::Event event, const QModelIndex& index);
    // Says so in a box that does not block the window.
    void tellCopyWasCut(std::size_t copied, std::size_t selected);

    // Every row's size: the last row's, measured on each insertion.
    int m_rowHeight = 1;
    int m_rowsWidth = 0;
};

} // namespace brellan
