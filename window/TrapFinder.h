// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrapSearch.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <memory>

class QAbstractItemView;

namespace brellan {

class TrapListModel;

// Runs searches of the trap list (TrapSearch) on the GUI thread, a few
// milliseconds at a time, resumed by a zero timer: between slices the event
// loop reads traps and repaints, so the window never waits on a search,
// and no state is shared with another thread. A new search drops the one
// under way. The line found becomes the view's current and only selected
// line, scrolled into sight; then the matches are counted the same way.
class TrapFinder final : public QObject {
    Q_OBJECT

public:
    // Where a search starts: at the current line (typing), or just past it
    // forwards or backwards (the next and previous match). With no current
    // line, at the first line (the last, backwards).
    enum class From { current, next, previous };

    TrapFinder(const TrapListModel& lines, QAbstractItemView& view, QObject* parent = nullptr);
    ~TrapFinder() override;

    void find(const QString& needle, From from);
    void cancel();
    bool searching() const { return m_search != nullptr; }
    bool counting() const { return m_count != nullptr; }

    // How long one slice may run.
    static constexpr std::chrono::milliseconds sliceTime{4};

signals:
    // `row` (0-based) of `rows` was found and made current; `wrapped` when
    // the search went round an end of the list to reach it.
    void found(int row, int rows, bool wrapped, bool backwards);
    void notFound();
    // After found(): the line found is match `match` (1-based) of `matches`
    // among the lines there were when it was found.
    void counted(int match, int matches);

private:
    void runSlice();
    void runCountSlice();

    const TrapListModel& m_lines;
    QAbstractItemView& m_view;
    std::unique_ptr<TrapSearch> m_search;
    std::unique_ptr<TrapSearch> m_count;
    QByteArray m_needle; // UTF-8, for the count
    bool m_backwards = false;
    bool m_startedRound = false; // the search starts round an end of the list already
    QTimer m_nextSlice;
};

} // namespace brellan
