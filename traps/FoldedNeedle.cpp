// SPDX-License-Identifier: GPL-3.0-or-later
#include "FoldedNeedle.h"

#include <algorithm>
#include <cstring>

namespace brellan {

FoldedNeedle::FoldedNeedle(std::string_view needle)
{
    m_folded.reserve(needle.size());
    for (const char c : needle)
        m_folded += static_cast<char>(fold(static_cast<unsigned char>(c)));
    const auto isLetter = [](char c) { return c >= 'a' && c <= 'z'; }; // the needle is folded already
    const auto isCommon = [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == ' '; };
    for (std::size_t i = 0; i < m_folded.size(); ++i) {
        if (isLetter(m_folded[i]))
            continue;
        if (m_anchor == noAnchor || (isCommon(m_folded[m_anchor]) && !isCommon(m_folded[i])))
            m_anchor = i;
    }
    if (m_anchor == noAnchor)
        m_letterAnchor = rarestLetter(m_folded);
    m_skip.fill(m_folded.size());
    for (std::size_t i = 0; i + 1 < m_folded.size(); ++i)
        m_skip[static_cast<unsigned char>(m_folded[i])] = m_folded.size() - 1 - i;
}

bool FoldedNeedle::foundIn(std::string_view text) const
{
    return foundIn(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

bool FoldedNeedle::foundIn(std::span<const std::uint8_t> bytes) const
{
    return foundIn(bytes.data(), bytes.size());
}

bool FoldedNeedle::foundIn(const unsigned char* text, std::size_t size) const
{
    if (m_folded.empty())
        return true;
    if (size < m_folded.size())
        return false;
    if (m_anchor != noAnchor)
        return foundByAnchor(text, size);
    if (m_folded.size() >= 3 && size >= longText)
        return foundByLetter(text, size);
    return foundBySkipping(text, size);
}

// The needle's letter that is rarest in English text (and so, mostly, in
// the strings of traps), by the letters' order of frequency.
std::size_t FoldedNeedle::rarestLetter(std::string_view folded)
{
    constexpr std::string_view commonestFirst = "etaoinshrdlcumwfgypbvkjxqz";
    std::size_t rarest = 0;
    for (std::size_t i = 1; i < folded.size(); ++i) {
        if (commonestFirst.find(folded[i]) > commonestFirst.find(folded[rarest]))
            rarest = i;
    }
    return rarest;
}

// A needle of letters in a long text (a block of lines or of datagrams):
// memchr finds its rarest letter, in either case, many bytes at a time,
// and the rest is compared where it is.
bool FoldedNeedle::foundByLetter(const unsigned char* text, std::size_t size) const
{
    const auto lower = static_cast<unsigned char>(m_folded[m_letterAnchor]);
    const auto upper = static_cast<unsigned char>(lower - ('a' - 'A'));
    const unsigned char* const first = text + m_letterAnchor;
    const unsigned char* const end = text + (size - m_folded.size()) + m_letterAnchor + 1;
    const auto next = [end](const unsigned char* from, unsigned char byte) {
        const void* found = from < end ? std::memchr(from, byte, static_cast<std::size_t>(end - from)) : nullptr;
        return found ? static_cast<const unsigned char*>(found) : end;
    };
    const unsigned char* nextLower = next(first, lower);
    const unsigned char* nextUpper = next(first, upper);
    while (nextLower < end || nextUpper < end) {
        const unsigned char* const place = std::min(nextLower, nextUpper);
        if (matchesAt(place - m_letterAnchor))
            return true;
        if (place == nextLower)
            nextLower = next(place + 1, lower);
        else
            nextUpper = next(place + 1, upper);
    }
    return false;
}

bool FoldedNeedle::foundByAnchor(const unsigned char* text, std::size_t size) const
{
    const auto anchor = static_cast<unsigned char>(m_folded[m_anchor]);
    // The anchor's places that leave room for the whole needle around it.
    const unsigned char* place = text + m_anchor;
    const unsigned char* const end = text + (size - m_folded.size()) + m_anchor + 1;
    while (place < end) {
        place = static_cast<const unsigned char*>(std::memchr(place, anchor, static_cast<std::size_t>(end - place)));
        if (!place)
            return false;
        if (matchesAt(place - m_anchor))
            return true;
        ++place;
    }
    return false;
}

bool FoldedNeedle::foundBySkipping(const unsigned char* text, std::size_t size) const
{
    const std::size_t length = m_folded.size();
    const auto last = static_cast<unsigned char>(m_folded[length - 1]);
    for (std::size_t position = 0; position + length <= size;) {
        const unsigned char end = fold(text[position + length - 1]);
        if (end == last && matchesAt(text + position))
            return true;
        position += m_skip[end];
    }
    return false;
}

bool FoldedNeedle::matchesAt(const unsigned char* text) const
{
    for (std::size_t i = 0; i < m_folded.size(); ++i) {
        if (fold(text[i]) != static_cast<unsigned char>(m_folded[i]))
            return false;
    }
    return true;
}

} // namespace brellan
