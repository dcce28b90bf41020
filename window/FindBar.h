// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QShortcut;

namespace brellan {

class TrapFinder;
class TrapListModel;
class TrapListView;

// The trap list's find field: a box to type in and a line beside it that
// says where the match is ("Line 4,512 of 10,000,000"), that the search
// went round an end of the list, or "No match", and, once the matches are
// counted, which of them it is (", match 3 of 17"). It lies over the bottom of
// the list while open and is hidden otherwise, so the window's fixed layout
// stays as it is; while it is open the list's rows end above it.
//
// Keys: Ctrl+F anywhere in the window opens it; typing finds, from the
// current line on; Enter or F3 goes to the next match, Shift+Enter or
// Shift+F3 to the previous, wrapping round the list's ends; Esc (in the
// field, or on the list) closes it and gives the list the focus with the
// line found still current and selected, ready to copy.
//
// A screen reader hears the field as "Find in trap list", and where the
// match is as the field's description and the text of the line beside it
// (its name).
class FindBar final : public QFrame {
    Q_OBJECT

public:
    FindBar(const TrapListModel& lines, TrapListView& list, QWidget* window);

    void open();
    void close();
    void findNext();
    void findPrevious();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeOverList();
    void findAsTyped();
    void step(bool backwards);
    void tell(const QString& text);
    void tellFound(int row, int rows, bool wrapped, bool backwards);
    void tellCounted(int match, int matches);

    TrapListView& m_list;
    QLineEdit* m_field = nullptr;
    QLabel* m_where = nullptr;
    TrapFinder* m_finder = nullptr;
    QShortcut* m_escapeOnList = nullptr;
};

} // namespace brellan
