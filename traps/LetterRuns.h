// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace brellan {

// Whether a byte is an ASCII letter, the only letters a search folds.
constexpr bool isAsciiLetter(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// Appends each maximal run of ASCII letters in `text`, lower-cased, to
// `runs`, each followed by a blank: a text in which a run of letters is
// found exactly when it lies within one of the runs.
inline void appendFoldedLetterRuns(std::string_view text, std::string& runs)
{
    bool inRun = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiLetter(byte)) {
            runs += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
            inRun = true;
        } else if (inRun) {
            runs += ' ';
            inRun = false;
        }
    }
    if (inRun)
        runs += ' ';
}

} // namespace brellan
