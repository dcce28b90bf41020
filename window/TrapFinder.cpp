// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapFinder.h"

#include "TrapListModel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

namespace brellan {

TrapFinder::TrapFinder(const TrapListModel& lines, QAbstractItemView& view, QObject* parent)
    : QObject(parent), m_lines(lines), m_view(view)
{
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &TrapFinder::runSlice);
}

TrapFinder::~TrapFinder() = default;

void TrapFinder::find(const QString& needle, From from)
{
    cancel();
    const int rows = m_lines.rowCount();
    const QModelIndex current = m_view.currentIndex();
    m_backwards = from == From::previous;
    m_startedRound = false;
    std::size_t start = 0;
    if (current.isValid()) {
        const auto row = static_cast<std::size_t>(current.row());
        const auto last = static_cast<std::size_t>(std::max(rows, 1) - 1);
        // Past the last line the next match is looked for from the first, and before the first from the last.
        m_startedRound = (from == From::next && row >= last) || (from == From::previous && row == 0);
        start = from == From::current ? row : from == From::next ? (row >= last ? 0 : row + 1) : (row == 0 ? last : row - 1);
    } else if (m_backwards && rows > 0) {
        start = static_cast<std::size_t>(rows - 1);
    }
    m_needle = needle.toUtf8();
    m_search = m_lines.search(std::string_view(m_needle.constData(), static_cast<std::size_t>(m_needle.size())),
                              start, m_backwards ? TrapSearch::Direction::backward : TrapSearch::Direction::forward);
    runSlice(); // a match close by shows at once
}

void TrapFinder::cancel()
{
    m_nextSlice.stop();
    m_search.reset();
    m_count.reset();
}

void TrapFinder::runSlice()
{
    if (m_count) {
        runCountSlice();
        return;
    }
    if (!m_search)
        return;
    const TrapSearch::Outcome outcome = m_search->advance(std::chrono::steady_clock::now() + sliceTime);
    if (outcome == TrapSearch::Outcome::searching) {
        m_nextSlice.start();
        return;
    }
    const std::unique_ptr<TrapSearch> done = std::move(m_search);
    if (outcome == TrapSearch::Outcome::noMatch) {
        emit notFound();
        return;
    }
    const QModelIndex index = m_lines.index(static_cast<int>(done->found()));
    m_view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_view.scrollTo(index);
    emit found(index.row(), m_lines.rowCount(), m_startedRound || done->wrapped(), m_backwards);
    m_count = m_lines.count(std::string_view(m_needle.constData(), static_cast<std::size_t>(m_needle.size())),
                            done->found());
    runCountSlice(); // a short list is counted at once
}

void TrapFinder::runCountSlice()
{
    const TrapSearch::Outcome outcome = m_count->advance(std::chrono::steady_clock::now() + sliceTime);
    if (outcome == TrapSearch::Outcome::searching) {
        m_nextSlice.start();
        return;
    }
    const std::unique_ptr<TrapSearch> done = std::move(m_count);
    emit counted(static_cast<int>(done->matchesBefore() + 1), static_cast<int>(done->matchCount()));
}

} // namespace brellan
