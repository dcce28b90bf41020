// SPDX-License-Identifier: GPL-3.0-or-later
// Copies of the trap list's lines, with or without their details.

#include "TrapListModel.h"

#include <algorithm>

namespace brellan {
namespace {

// The ranges in row order, overlapping and touching ones joined.
std::vector<TrapListModel::RowRange> merged(std::vector<TrapListModel::RowRange> ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TrapListModel::RowRange> joined;
    for (const TrapListModel::RowRange& range : ranges) {
        if (range.first > range.last)
            continue;
        if (!joined.empty() && range.first <= joined.back().last + 1)
            joined.back().last = std::max(joined.back().last, range.last);
        else
            joined.push_back(range);
    }
    return joined;
}

// Each line of `details` on a line of its own, indented.
void appendIndented(std::string& text, std::string_view details)
{
    constexpr std::string_view indent = "    ";
    std::size_t start = 0;
    while (start <= details.size()) {
        const std::size_t end = std::min(details.find('\n', start), details.size());
        text += '\n';
        text += indent;
        text.append(details.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

TrapListModel::Copied TrapListModel::copyRows(std::vector<RowRange> ranges, bool withDetails,
                                              std::size_t maxBytes) const
{
    ranges = merged(std::move(ranges));
    Copied copied;
    for (RowRange& range : ranges) {
        range.last = std::min(range.last, m_lines.size() - 1);
        if (range.first < m_lines.size())
            copied.selected += range.last - range.first + 1;
    }
    const QTimeZone zone = QTimeZone::systemTimeZone();
    std::string text;
    std::string entry;
    for (const RowRange& range : ranges) {
        for (std::size_t row = range.first; row <= range.last && row < m_lines.size(); ++row) {
            entry.clear();
            if (copied.lines > 0)
                entry += withDetails ? "\n\n" : "\n";
            entry += line(row);
            if (withDetails)
                appendIndented(entry, detailsText(row, zone, CommunityShown::asLengthOnly, true));
            if (text.size() + entry.size() > maxBytes) {
                copied.text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
                return copied;
            }
            text += entry;
            ++copied.lines;
        }
    }
    copied.text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return copied;
}

} // namespace brellan
