// SPDX-License-Identifier: GPL-3.0-or-later
#include "FoldedNeedle.h"

namespace brellan {

FoldedNeedle::FoldedNeedle(std::string_view needle)
{
    m_folded.reserve(needle.size());
    for (const char c : needle)
        m_folded += static_cast<char>(fold(static_cast<unsigned char>(c)));
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
    const std::size_t length = m_folded.size();
    if (length == 0)
        return true;
    const auto* needle = reinterpret_cast<const unsigned char*>(m_folded.data());
    const unsigned char last = needle[length - 1];
    for (std::size_t position = 0; position + length <= size;) {
        const unsigned char end = fold(text[position + length - 1]);
        if (end == last) {
            std::size_t i = 0;
            while (i + 1 < length && fold(text[position + i]) == needle[i])
                ++i;
            if (i + 1 == length)
                return true;
        }
        position += m_skip[end];
    }
    return false;
}

} // namespace brellan
