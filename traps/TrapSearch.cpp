// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapSearch.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <span>
#include <vector>

namespace brellan {

TrapSearch::TrapSearch(const TrapLineStore& lines, const TrapDetailStore& details, std::string_view needle,
                       Start start, const Names& names)
    : m_lines(lines), m_details(details), m_names(names.index), m_needle(needle),
      m_prefilter(needle, names.bytes, names.letterRuns), m_matcher(needle, {}, {m_names.get(), false}),
      m_start(start)
{
    m_start.lineCount = std::min(m_start.lineCount, lines.size());
    if (m_needle.empty() || m_start.lineCount == 0) {
        m_outcome = Outcome::noMatch;
        return;
    }
    m_line = m_start.line < m_start.lineCount ? m_start.line : 0;
}

TrapSearch::TrapSearch(const TrapLineStore& lines, const TrapDetailStore& details, std::string_view needle,
                       Count count, const Names& names)
    : TrapSearch(lines, details, needle, Start{count.lineCount, 0, Direction::forward}, names)
{
    m_countBefore = count.before;
    if (m_outcome == Outcome::noMatch)
        m_outcome = Outcome::counted;
}

TrapSearch::Outcome TrapSearch::advance(std::chrono::steady_clock::time_point deadline)
{
    constexpr std::size_t linesBetweenClockReads = 64; // a trap written out takes a few microseconds
    m_cursor = {};
    m_textRun = {};
    while (m_outcome == Outcome::searching) {
        for (std::size_t i = 0; i < linesBetweenClockReads && m_outcome == Outcome::searching; ++i)
            step();
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    }
    return m_outcome;
}

// Looks at the current line; moves to the next unless it matched.
void TrapSearch::step()
{
    if (matches(m_line)) {
        if (!m_countBefore) {
            m_outcome = Outcome::found;
            return;
        }
        ++m_matches;
        m_matchesBefore += m_line < *m_countBefore ? 1 : 0;
    }
    if (++m_seen == m_start.lineCount) {
        m_outcome = m_countBefore ? Outcome::counted : Outcome::noMatch;
        return;
    }
    if (m_start.direction == Direction::forward) {
        m_line = m_line + 1 == m_start.lineCount ? 0 : m_line + 1;
        m_wrapped = m_wrapped || m_line == 0;
    } else {
        m_wrapped = m_wrapped || m_line == 0;
        m_line = m_line == 0 ? m_start.lineCount - 1 : m_line - 1;
    }
}

bool TrapSearch::matches(std::size_t line)
{
    return textMatches(line) || detailsMatch(line);
}

bool TrapSearch::textMatches(std::size_t line)
{
    if (line - m_textRun.firstLine >= m_textRun.lineCount) {
        const TrapLineStore::Run run = m_lines.runOf(line);
        m_textRun = {run.firstLine, run.lineCount, m_needle.foundIn(run.text)};
    }
    return m_textRun.mayMatch && m_needle.foundIn(m_lines.line(line));
}

bool TrapSearch::detailsMatch(std::size_t line)
{
    try {
        const TrapDetailBlock::Record* record = besideCursor(line);
        if (!record) {
            const TrapDetailStore::View kept = m_details.view(line);
            if (kept.state != TrapDetailStore::State::Kept)
                return false;
            moveCursor(kept);
            record = kept.record;
        }
        const TrapDetailBlock& block = *m_cursor.block;
        // An IPv6 address's zone is an interface's name, which may hold any
        // byte: a trap with one is always written out and looked at.
        const bool datagramDecides = record->ipv6Flags == 0;
        if (datagramDecides
            && (!m_cursor.blockMayMatch
                || !m_prefilter.mayMatch(
                    std::span<const std::uint8_t>(block.bytes).subspan(record->offset, record->length)))) {
            ++m_ruledOut;
            return false;
        }
        ++m_lookedAt;
        const std::span<const std::uint8_t> datagram =
            std::span<const std::uint8_t>(block.bytes).subspan(record->offset, record->length);
        if (record->ipv6Flags & TrapDetailBlock::sourceIsIpv6)
            return m_matcher.matches(block.sourceOf(*record), record->sourcePort, datagram);
        return m_matcher.matches(snmp::InetAddress(record->sourceAddress), record->sourcePort, datagram);
    } catch (const std::exception&) {
        m_cursor = {};
        return false; // details that cannot be read hold nothing to find; the line's text was searched
    }
}

const TrapDetailBlock::Record* TrapSearch::besideCursor(std::size_t line)
{
    if (!m_cursor.block)
        return nullptr;
    const std::vector<TrapDetailBlock::Record>& records = m_cursor.block->records;
    const std::size_t next = m_start.direction == Direction::forward ? m_cursor.record + 1 : m_cursor.record - 1;
    if (next >= records.size() || records[next].line != line) // (record 0 - 1 wraps past the size)
        return nullptr;
    m_cursor.record = next;
    return &records[next];
}

// A block's datagrams are searched once for what the prefilter looks for:
// a block without it rules out every trap in it at once.
void TrapSearch::moveCursor(const TrapDetailStore::View& kept)
{
    const TrapDetailBlock& block = *kept.block;
    const bool sameBlock = m_cursor.block == &block && m_cursor.blockFirstLine == block.records.front().line;
    if (!sameBlock) {
        m_cursor.blockMayMatch = !m_prefilter.usesDatagram() || m_prefilter.mayMatch(block.bytes)
                                 || !block.ipv6Addresses.empty();
        m_cursor.block = &block;
        m_cursor.blockFirstLine = block.records.front().line;
    }
    m_cursor.record = static_cast<std::size_t>(kept.record - block.records.data());
}

} // namespace brellan
