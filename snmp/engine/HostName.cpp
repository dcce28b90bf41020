// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostName.h"

#include <algorithm>

namespace brellan {
namespace {

bool isLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool isLabel(std::string_view label)
{
    return !label.empty() && label.size() <= 63 && label.front() != '-' && label.back() != '-'
           && std::all_of(label.begin(), label.end(), isLabelCharacter);
}

bool isAllDigits(std::string_view label)
{
    return std::all_of(label.begin(), label.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool isHostName(std::string_view text)
{
    if (!text.empty() && text.back() == '.')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 253)
        return false;
    std::string_view last;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        last = text.substr(start, dot - start);
        if (!isLabel(last))
            return false;
        start = dot + 1;
    }
    return !isAllDigits(last);
}

} // namespace brellan
