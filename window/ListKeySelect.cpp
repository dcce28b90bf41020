// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListKeySelect.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace brellan {

ListKeySelect::ListKeySelect(QAbstractItemView& list) : QObject(&list), m_list(list)
{
    list.installEventFilter(this);
}

bool ListKeySelect::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_list || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool chooses = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
    if (!chooses || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if (!key->isAutoRepeat()) {
        // Focus that arrives by Tab makes a row current without selecting it.
        const QModelIndex current = m_list.currentIndex();
        if (current.isValid())
            m_list.selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        emit rowChosen();
    }
    return true; // the list's own Enter and Space handling would do nothing more
}

} // namespace brellan
