// SPDX-License-Identifier: GPL-3.0-or-later
#include "DetailsPrefilter.h"

#include <algorithm>
#include <string_view>

namespace brellan {
namespace {

// Where an escape may begin, or the text leave a value (a quote, a blank,
// the end of a line).
bool endsFragment(unsigned char byte)
{
    return byte <= ' ' || byte == '"' || byte == '\\' || byte == 0x7F;
}

} // namespace

bool DetailsPrefilter::formatterMayWrite(unsigned char byte)
{
    constexpr std::string_view punctuation = ".:,()=-\"\\[]_'/+";
    constexpr std::string_view ellipsis = "\u2026"; // the bytes of the mark of a cut value
    if (byte < 0x80)
        return byte <= ' ' || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z')
               || (byte >= 'a' && byte <= 'z') || punctuation.find(static_cast<char>(byte)) != std::string_view::npos;
    return ellipsis.find(static_cast<char>(byte)) != std::string_view::npos;
}

DetailsPrefilter::DetailsPrefilter(std::string_view needle, std::string_view namesBytes)
{
    const auto own = std::find_if(needle.begin(), needle.end(), [namesBytes](char c) {
        return !formatterMayWrite(static_cast<unsigned char>(c)) && namesBytes.find(c) == std::string_view::npos;
    });
    if (own == needle.end())
        return;
    const auto end =
        std::find_if(own, needle.end(), [](char c) { return endsFragment(static_cast<unsigned char>(c)); });
    m_fragment.emplace(needle.substr(static_cast<std::size_t>(own - needle.begin()),
                                     static_cast<std::size_t>(end - own)));
}

bool DetailsPrefilter::mayMatch(std::span<const std::uint8_t> datagram) const
{
    return !m_fragment || m_fragment->foundIn(datagram);
}

} // namespace brellan
