// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DetailsMatcher.h"
#include "DetailsPrefilter.h"
#include "FoldedNeedle.h"
#include "NameIndex.h"
#include "TrapDetailStore.h"
#include "TrapLineStore.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace brellan {

// One search of the trap lines for a needle, from a start line round to
// the line before it, done in bounded slices so that its caller keeps its
// turns (traps, repaints) between them; dropping the object cancels it.
//
// A line matches when its text holds the needle, or when the details of its
// trap, while they are kept, do: trapDetailsText without the time received,
// with names from `names` (the details' own time is the line's). Case is
// folded for ASCII letters only (FoldedNeedle). Details are the dear part:
// a DetailsPrefilter rules out traps from their datagram where it can, and
// a DetailsMatcher looks at the others without writing them out whole.
//
// The lines searched are those there were when it started; lines added
// since are left to the next search. The stores must outlive it, and keep
// only growing (kept traps may be let go meanwhile: their lines then match
// by their text alone).
class TrapSearch {
public:
    enum class Direction { forward, backward };
    enum class Outcome { searching, found, noMatch, counted };

    struct Start {
        std::size_t lineCount = 0; // lines to search: [0, lineCount)
        std::size_t line = 0;      // the first line looked at
        Direction direction = Direction::forward;
    };
    // A count of every match instead of a search for the next: it looks at
    // every line of [0, lineCount) and ends counted, with the matches in
    // all and those before `before` (the line a search found).
    struct Count {
        std::size_t lineCount = 0;
        std::size_t before = 0;
    };

    // The names the details show, if any, with every byte and every run of
    // letters of the names they may show (see DetailsPrefilter and
    // ShownNames.h).
    struct Names {
        std::shared_ptr<const names::NameIndex> index;
        std::string_view bytes;
        std::string_view letterRuns;
    };

    TrapSearch(const TrapLineStore& lines, const TrapDetailStore& details, std::string_view needle, Start start,
               const Names& names = {});
    TrapSearch(const TrapLineStore& lines, const TrapDetailStore& details, std::string_view needle, Count count,
               const Names& names = {});

    // Looks on until a match, every line seen, or the deadline passes
    // (checked every few hundred lines).
    Outcome advance(std::chrono::steady_clock::time_point deadline);
    Outcome outcome() const { return m_outcome; }
    // The line found, once found.
    std::size_t found() const { return m_line; }
    // Whether the search went past the last line (forward) or the first
    // (backward) and round to the other end before it found its line.
    bool wrapped() const { return m_wrapped; }

    bool matches(std::size_t line);

    // A count's figures, once counted.
    std::size_t matchCount() const { return m_matches; }
    std::size_t matchesBefore() const { return m_matchesBefore; }

    // How many kept traps' details were looked at, and how many the
    // prefilter ruled out, so far (the benchmarks report them).
    std::size_t detailsLookedAt() const { return m_lookedAt; }
    std::size_t detailsRuledOut() const { return m_ruledOut; }

private:
    // Where the last kept trap looked at lies: lines are looked at in turn,
    // so the next one's trap is mostly the next record of the same block.
    // Valid within one advance() only: between slices others read the
    // store, and it may keep, seal and let go.
    struct Cursor {
        const TrapDetailBlock* block = nullptr;
        std::uint64_t blockFirstLine = 0;
        std::size_t record = 0;
        bool blockMayMatch = true; // whether the block's datagrams, all together, may hold a match
    };

    // The lines looked at lie in runs (TrapLineStore::Run); a run whose text
    // lacks the needle has no line that holds it. Valid within one advance().
    struct TextRun {
        std::size_t firstLine = 0;
        std::size_t lineCount = 0; // 0: none yet
        bool mayMatch = true;
    };

    bool textMatches(std::size_t line);
    bool detailsMatch(std::size_t line);
    // The record of `line` beside the cursor's, or nullptr.
    const TrapDetailBlock::Record* besideCursor(std::size_t line);
    void moveCursor(const TrapDetailStore::View& kept);
    void step();

    const TrapLineStore& m_lines;
    const TrapDetailStore& m_details;
    std::shared_ptr<const names::NameIndex> m_names; // kept for m_matcher
    FoldedNeedle m_needle;
    DetailsPrefilter m_prefilter;
    DetailsMatcher m_matcher;
    Start m_start;
    std::optional<std::size_t> m_countBefore; // set when counting
    std::size_t m_matches = 0;
    std::size_t m_matchesBefore = 0;
    std::size_t m_line = 0;
    std::size_t m_seen = 0;
    bool m_wrapped = false;
    Outcome m_outcome = Outcome::searching;
    Cursor m_cursor;
    TextRun m_textRun;
    std::size_t m_lookedAt = 0;
    std::size_t m_ruledOut = 0;
};

} // namespace brellan
