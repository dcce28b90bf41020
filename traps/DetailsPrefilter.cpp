// SPDX-License-Identifier: GPL-3.0-or-later
#include "DetailsPrefilter.h"

#include "LetterRuns.h"
#include "TrapDetailsText.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace brellan {
namespace {

// Where an escape may begin, or the text leave a value (a quote, a blank,
// the end of a line).
bool endsFragment(unsigned char byte)
{
    return byte <= ' ' || byte == '"' || byte == '\\' || byte == 0x7F;
}

// From the first byte the formatter never writes of its own (nor a name
// holds) to the next place an escape may begin or a value end: the
// datagram's own bytes, or nothing when the needle has no such byte.
std::optional<std::string_view> ownBytes(std::string_view needle, std::string_view namesBytes)
{
    const auto own = std::find_if(needle.begin(), needle.end(), [namesBytes](char c) {
        return !DetailsPrefilter::formatterMayWrite(static_cast<unsigned char>(c))
               && namesBytes.find(c) == std::string_view::npos;
    });
    if (own == needle.end())
        return std::nullopt;
    const auto end =
        std::find_if(own, needle.end(), [](char c) { return endsFragment(static_cast<unsigned char>(c)); });
    return needle.substr(static_cast<std::size_t>(own - needle.begin()), static_cast<std::size_t>(end - own));
}

// The letters of a run of the needle's (folded) that only the datagram can
// have written, or nothing: see the class's comment.
std::optional<std::string> datagramLetters(std::string_view run, std::string_view ownRuns,
                                           std::string_view namesLetterRuns)
{
    constexpr std::string_view hexLetters = "abcdefx"; // bytes' digits, and "0x" before a type's tag
    constexpr std::string_view escapeLetters = "nrtu"; // \n \r \t \u2028 \u2029
    if (run.find_first_not_of(hexLetters) == std::string_view::npos)
        return std::nullopt;
    // Both texts are folded already: a plain find, which looks for the first letter with memchr.
    if (ownRuns.find(run) != std::string_view::npos || namesLetterRuns.find(run) != std::string_view::npos)
        return std::nullopt;
    if (escapeLetters.find(run.front()) != std::string_view::npos)
        run.remove_prefix(1);
    if (run.size() < 2)
        return std::nullopt;
    return std::string(run);
}

// The needle's runs of letters, folded, the longest first.
std::vector<std::string> foldedRunsLongestFirst(std::string_view needle)
{
    std::string joined;
    appendFoldedLetterRuns(needle, joined);
    std::vector<std::string> runs;
    for (std::size_t start = 0; start < joined.size();) {
        const std::size_t blank = joined.find(' ', start);
        runs.push_back(joined.substr(start, blank - start));
        start = blank + 1;
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return runs;
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

DetailsPrefilter::DetailsPrefilter(std::string_view needle, std::string_view namesBytes,
                                   std::string_view namesLetterRuns)
{
    if (const std::optional<std::string_view> bytes = ownBytes(needle, namesBytes)) {
        m_fragment.emplace(*bytes);
        return;
    }
    const std::string ownRuns = trapDetailsOwnLetterRuns();
    for (const std::string& run : foldedRunsLongestFirst(needle)) {
        if (const std::optional<std::string> letters = datagramLetters(run, ownRuns, namesLetterRuns)) {
            m_fragment.emplace(*letters);
            return;
        }
    }
}

bool DetailsPrefilter::mayMatch(std::span<const std::uint8_t> datagram) const
{
    return !m_fragment || m_fragment->foundIn(datagram);
}

} // namespace brellan
