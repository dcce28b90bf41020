// SPDX-License-Identifier: GPL-3.0-or-later
#include "FindBar.h"

#include "TrapFinder.h"
#include "TrapListModel.h"
#include "TrapListView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QShortcut>

namespace brellan {

FindBar::FindBar(const TrapListModel& lines, TrapListView& list, QWidget* window)
    : QFrame(window), m_list(list), m_field(new QLineEdit(this)), m_where(new QLabel(this)),
      m_finder(new TrapFinder(lines, list, this))
{
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_field->setObjectName(QStringLiteral("txtFind"));
    m_field->setAccessibleName(QStringLiteral("Find in trap list"));
    m_field->installEventFilter(this);
    m_where->setObjectName(QStringLiteral("lblFind"));
    m_where->setTextFormat(Qt::PlainText);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(4);
    row->addWidget(m_field, 1);
    row->addWidget(m_where, 1);
    hide();

    // Any change of the text, typed or set through the accessibility bus (dictation, a
    // screen reader's edit command), starts a search.
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::findAsTyped);
    connect(m_finder, &TrapFinder::found, this, &FindBar::tellFound);
    connect(m_finder, &TrapFinder::notFound, this, [this] { tell(QStringLiteral("No match")); });
    connect(m_finder, &TrapFinder::counted, this, &FindBar::tellCounted);

    const auto shortcut = [](QKeySequence keys, QWidget* on, Qt::ShortcutContext context) {
        auto* made = new QShortcut(keys, on);
        made->setContext(context);
        return made;
    };
    connect(shortcut(QKeySequence::Find, window, Qt::WindowShortcut), &QShortcut::activated, this, &FindBar::open);
    connect(shortcut(QKeySequence(Qt::Key_F3), window, Qt::WindowShortcut), &QShortcut::activated, this,
            &FindBar::findNext);
    connect(shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), window, Qt::WindowShortcut), &QShortcut::activated,
            this, &FindBar::findPrevious);
    m_escapeOnList = shortcut(QKeySequence(Qt::Key_Escape), &list, Qt::WidgetShortcut);
    m_escapeOnList->setEnabled(false);
    connect(m_escapeOnList, &QShortcut::activated, this, &FindBar::close);
}

void FindBar::open()
{
    placeOverList();
    show();
    raise();
    m_escapeOnList->setEnabled(true);
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::close()
{
    m_finder->cancel();
    hide();
    m_escapeOnList->setEnabled(false);
    m_list.reserveBottom(0);
    m_list.setFocus(Qt::OtherFocusReason);
}

// F3 and Shift+F3 with nothing to find open the field instead.
void FindBar::findNext()
{
    step(false);
}

void FindBar::findPrevious()
{
    step(true);
}

void FindBar::step(bool backwards)
{
    if (m_field->text().isEmpty()) {
        open();
        return;
    }
    if (isHidden())
        open();
    tell(QStringLiteral("Searching\u2026"));
    m_finder->find(m_field->text(), backwards ? TrapFinder::From::previous : TrapFinder::From::next);
}

void FindBar::findAsTyped()
{
    if (m_field->text().isEmpty()) {
        m_finder->cancel();
        tell(QString());
        return;
    }
    tell(QStringLiteral("Searching\u2026"));
    m_finder->find(m_field->text(), TrapFinder::From::current);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool shift = key->modifiers().testFlag(Qt::ShiftModifier);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: step(shift); return true;
    case Qt::Key_Escape: close(); return true;
    default: return QFrame::eventFilter(watched, event);
    }
}

// The bar takes the list's bottom, as high as the field needs; the list's
// rows end above it, so the line found is never under it.
void FindBar::placeOverList()
{
    const QRect list = m_list.geometry();
    const int height = std::min(list.height(), sizeHint().height());
    setGeometry(list.left(), list.bottom() + 1 - height, list.width(), height);
    m_list.reserveBottom(height);
}

void FindBar::tell(const QString& text)
{
    m_where->setText(text);
    m_field->setAccessibleDescription(text); // what a screen reader says of the field
}

void FindBar::tellFound(int row, int rows, bool wrapped, bool backwards)
{
    const QLocale locale;
    QString text = QStringLiteral("Line %1 of %2").arg(locale.toString(row + 1), locale.toString(rows));
    if (wrapped)
        text += backwards ? QStringLiteral(", wrapped to the bottom") : QStringLiteral(", wrapped to the top");
    tell(text);
}

void FindBar::tellCounted(int match, int matches)
{
    const QLocale locale;
    tell(m_where->text() + QStringLiteral(", match %1 of %2").arg(locale.toString(match), locale.toString(matches)));
}

} // namespace brellan
