// SPDX-License-Identifier: GPL-3.0-or-later
// The trap list's copy keys: the selection, read as ranges of rows, to the
// clipboard.

#include "NonModalMessage.h"
#include "TrapListModel.h"
#include "TrapListView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLocale>

namespace brellan {
namespace {

const QKeyCombination copyWithDetailsKey(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_C);

} // namespace

QString TrapListView::keysText()
{
    const auto name = [](const QKeySequence& keys) { return keys.toString(QKeySequence::NativeText); };
    return QStringLiteral("%1 copies the selected lines, %2 copies them with each trap's details.\n"
                          "%3 finds text in the lines and their details, %4 and %5 go to the next and previous "
                          "match, %6 closes the find field.")
        .arg(name(QKeySequence::Copy), name(copyWithDetailsKey), name(QKeySequence::Find), name(Qt::Key_F3),
             name(Qt::SHIFT | Qt::Key_F3), name(Qt::Key_Escape));
}

// Ctrl+C replaces QAbstractItemView's own copy, which takes the current
// row's text alone; one line selected copies exactly that text, as before.
void TrapListView::keyPressEvent(QKeyEvent* event)
{
    const bool withDetails = event->keyCombination() == copyWithDetailsKey;
    if (!withDetails && !event->matches(QKeySequence::Copy)) {
        QListView::keyPressEvent(event);
        return;
    }
    copySelection(withDetails);
    event->accept();
}

void TrapListView::copySelection(bool withDetails)
{
    const auto* lines = qobject_cast<const TrapListModel*>(model());
    if (!lines || !selectionModel())
        return;
    std::vector<TrapListModel::RowRange> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.isValid() && range.parent() == rootIndex())
            ranges.push_back({static_cast<std::size_t>(range.top()), static_cast<std::size_t>(range.bottom())});
    }
    if (ranges.empty() && currentIndex().isValid())
        ranges.push_back({static_cast<std::size_t>(currentIndex().row()), static_cast<std::size_t>(currentIndex().row())});
    if (ranges.empty())
        return;
    const TrapListModel::Copied copied = lines->copyRows(std::move(ranges), withDetails);
    QGuiApplication::clipboard()->setText(copied.text);
    if (copied.lines < copied.selected)
        tellCopyWasCut(copied.lines, copied.selected);
}

void TrapListView::tellCopyWasCut(std::size_t copied, std::size_t selected)
{
    const QLocale locale;
    const QString text =
        QStringLiteral("Copied the first %1 of the %2 selected lines: one copy holds at most %3 MB of text.")
            .arg(locale.toString(static_cast<qulonglong>(copied)), locale.toString(static_cast<qulonglong>(selected)),
                 locale.toString(static_cast<qulonglong>(TrapListModel::maxCopyBytes >> 20)));
    showNonModalMessage(window(), QMessageBox::Information, text, QStringLiteral("copyCut"));
}

} // namespace brellan
