// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brellan {

// The trap lines' text, kept in blocks of 1024 lines: a block's text is one
// string, and each line's end within it is 4 bytes. Growing copies one
// block's text at most, never everything stored (one string of ten million
// lines that doubles would copy hundreds of megabytes at once, and hold
// twice that while it does), and a full block gives back what it reserved.
// Beyond their text, lines cost a little over 4 bytes each.
class TrapLineStore {
public:
    void append(std::string_view line);

    std::size_t size() const { return m_size; }
    // Throws std::out_of_range past the last line.
    std::string_view line(std::size_t index) const;

    // The lines of the block that holds line `index`, their text end to end
    // with nothing between them: a text without a needle has no line with
    // it. Valid until the next append(). Throws as line() does.
    struct Run {
        std::size_t firstLine = 0;
        std::size_t lineCount = 0;
        std::string_view text;
    };
    Run runOf(std::size_t index) const;

private:
    static constexpr std::size_t linesPerBlock = 1024;

    struct Block {
        std::string text;
        std::array<std::uint32_t, linesPerBlock> ends{}; // end offset of each line in text
    };

    std::vector<std::unique_ptr<Block>> m_blocks;
    std::size_t m_size = 0;
};

} // namespace brellan
