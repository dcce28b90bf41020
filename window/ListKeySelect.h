// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QAbstractItemView;

namespace brellan {

// Gives a list's keyboard user what a click gives a mouse user: Enter,
// Return or Space on the focused list selects its current row, as a click
// on that row would, and raises rowChosen(). The arrow keys only move the
// current row, as before. A held key does not repeat the choice.
class ListKeySelect final : public QObject {
    Q_OBJECT

public:
    explicit ListKeySelect(QAbstractItemView& list);

signals:
    void rowChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView& m_list;
};

} // namespace brellan
