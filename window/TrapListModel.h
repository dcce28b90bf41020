// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NameIndex.h"
#include "ReceivedTrap.h"
#include "TrapDetailStore.h"
#include "TrapDetailsText.h"
#include "TrapLineStore.h"
#include "TrapSearch.h"

#include <QAbstractListModel>
#include <QTimeZone>
#include <QTimer>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brellan {

// The lines of the trap list: append-only, never cleared, one column; and
// behind each line the trap it came from, for its details.
//
// Lines are kept as UTF-8 in a TrapLineStore, so ten million lines cost
// their text and about 4 bytes each rather than a heap block each. Appends
// are batched: a line is stored at once, but the view hears of new lines
// once per pass of the event loop, in one insertion, so a burst of traps
// costs one update of the view and one repaint instead of one per line.
//
// The traps are kept in a TrapDetailStore within its memory budget, and
// decoded only when a line's details are asked for: a row's tooltip
// (Qt::ToolTipRole) and accessible description (Qt::AccessibleDescriptionRole),
// and copies of lines with their details. Names are looked up then too, in
// the index last given to useNames, never as traps arrive.
class TrapListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TrapListModel(QObject* parent = nullptr, std::size_t detailsBudget = TrapDetailStore::defaultBudget);

    // Stores the line and schedules its announcement to the views, at the
    // next pass of the event loop.
    void append(std::string_view line);

    // Keeps `trap` behind line `index` for its details. Lines are given
    // their traps in increasing order.
    void keepTrap(std::size_t index, const ReceivedTrap& trap);

    // The names that details made from here on read object identifiers
    // with; none (the default) reads them as numbers.
    void useNames(std::shared_ptr<const names::NameIndex> names);

    // Every line appended so far, announced or not.
    std::size_t lineCount() const { return m_lines.size(); }
    std::string_view line(std::size_t index) const;
    // A line's details as UTF-8 text (see trapDetailsText), or why there are none.
    std::string detailsText(std::size_t index) const;
    // A search of the lines the views know of, and of their kept traps'
    // details as the tooltip shows them but for the time received (which
    // would cost a time-zone conversion per trap), from `line` on.
    std::unique_ptr<TrapSearch> search(std::string_view needle, std::size_t line,
                                       TrapSearch::Direction direction) const;
    // Every line that holds the needle, counted, and those before `before`.
    std::unique_ptr<TrapSearch> count(std::string_view needle, std::size_t before) const;
    // The kept traps, for what they cost (the benchmarks report it).
    const TrapDetailStore& details() const { return m_details; }

    // The text of rows [first, last] of each range, one line each, in row
    // order; with details, each line followed by its details (indented,
    // the community given by its length only, each name followed by its
    // number) and a blank line between traps. Stops before the text would
    // pass maxBytes of UTF-8.
    struct RowRange {
        std::size_t first;
        std::size_t last;
    };
    struct Copied {
        QString text;
        std::size_t lines = 0;    // lines in the text
        std::size_t selected = 0; // lines in the ranges
    };
    static constexpr std::size_t maxCopyBytes = std::size_t{32} << 20;
    Copied copyRows(std::vector<RowRange> ranges, bool withDetails, std::size_t maxBytes = maxCopyBytes) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // Announces every stored line not yet announced, in one insertion.
    void flush();
    std::string detailsText(std::size_t index, const QTimeZone& zone, CommunityShown community,
                            bool numbersBesideNames) const;

    TrapLineStore m_lines;
    TrapDetailStore m_details;
    std::shared_ptr<const names::NameIndex> m_names;
    std::string m_nameBytes; // every byte of m_names' shown names, for the search
    std::string m_nameLetterRuns; // every run of letters in them, likewise
    std::size_t m_announced = 0;     // lines the views know of
    QTimer m_flushTimer;
};

} // namespace brellan
