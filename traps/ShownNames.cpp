// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShownNames.h"

#include <algorithm>

namespace brellan {
namespace {

bool printableWithoutSpace(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c <= '~'; });
}

std::optional<std::string> shownOnly(std::optional<std::string> text)
{
    if (text && !printableWithoutSpace(*text))
        return std::nullopt;
    return text;
}

} // namespace

std::optional<std::string> shownOidName(const names::NameIndex& names, std::span<const std::uint32_t> oid)
{
    return shownOnly(names::oidNameText(names, oid));
}

std::optional<std::string> shownValueLabel(const names::NameIndex& names, std::span<const std::uint32_t> instance,
                                           std::int64_t value)
{
    return shownOnly(names::labelledValueText(names, instance, value));
}

} // namespace brellan
