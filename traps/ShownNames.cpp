// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShownNames.h"

#include "LetterRuns.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_set>

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

std::string shownNameBytes(const names::NameIndex& names)
{
    std::array<bool, 256> seen{};
    const auto see = [&seen](const std::string& text) {
        if (printableWithoutSpace(text))
            for (const char c : text)
                seen[static_cast<unsigned char>(c)] = true;
    };
    see("::.()");
    for (const auto& [oid, node] : names.entries()) {
        see(node.module);
        see(node.name);
        for (const auto& label : node.labels)
            see(label.second);
    }
    std::string bytes;
    for (std::size_t byte = 0; byte < seen.size(); ++byte)
        if (seen[byte])
            bytes += static_cast<char>(byte);
    return bytes;
}

std::string shownNameLetterRuns(const names::NameIndex& names)
{
    std::string runs;
    appendFoldedLetterRuns("enterprises", runs); // oidNameText's root of a name without a module
    std::unordered_set<std::string_view> labelsSeen;
    const std::string* lastModule = nullptr; // entries mostly come module by module
    for (const auto& [oid, node] : names.entries()) {
        if (!lastModule || *lastModule != node.module)
            appendFoldedLetterRuns(node.module, runs);
        lastModule = &node.module;
        appendFoldedLetterRuns(node.name, runs);
        for (const auto& label : node.labels) {
            if (labelsSeen.insert(label.second).second) // the same few labels recur in many objects
                appendFoldedLetterRuns(label.second, runs);
        }
    }
    return runs;
}

} // namespace brellan
