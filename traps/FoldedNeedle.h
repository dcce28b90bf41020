// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brellan {

// Text to look for, found whatever the case of its ASCII letters: A to Z
// and a to z are one, every other byte (those of UTF-8 among them) is
// matched as it is. A needle with a byte that is no letter looks for that
// byte with memchr, which reads many bytes at a time, and compares the rest
// where it is; the rarer such a byte (not a digit, dot or blank), the
// fewer the places. A needle of letters alone skips ahead as Horspool's
// does, on a table of the folded bytes; in a long text (a block of lines
// or of datagrams), where Horspool's moves of a short needle cost more
// than memchr, memchr looks for its rarest letter in either case.
class FoldedNeedle {
public:
    explicit FoldedNeedle(std::string_view needle);

    bool empty() const { return m_folded.empty(); }
    std::size_t size() const { return m_folded.size(); }
    const std::string& folded() const { return m_folded; }

    // Whether the text holds the needle. An empty needle is in every text.
    bool foundIn(std::string_view text) const;
    bool foundIn(std::span<const std::uint8_t> bytes) const;

    static unsigned char fold(unsigned char byte) { return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte; }

private:
    static constexpr std::size_t noAnchor = std::string::npos;

    bool foundIn(const unsigned char* text, std::size_t size) const;
    bool foundByAnchor(const unsigned char* text, std::size_t size) const;
    bool foundBySkipping(const unsigned char* text, std::size_t size) const;
    bool foundByLetter(const unsigned char* text, std::size_t size) const;
    static std::size_t rarestLetter(std::string_view folded);

    // Where a text counts as long: memchr's start costs more than it saves below it.
    static constexpr std::size_t longText = 1024;
    bool matchesAt(const unsigned char* text) const;

    std::string m_folded;
    std::size_t m_anchor = noAnchor; // where in the needle the byte memchr looks for lies
    std::size_t m_letterAnchor = 0;  // in a needle of letters, the letter memchr looks for in a long text
    std::array<std::size_t, 256> m_skip{}; // how far to move on, by the folded byte under the needle's end
};

} // namespace brellan
