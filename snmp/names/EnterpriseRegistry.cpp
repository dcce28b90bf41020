// SPDX-License-Identifier: GPL-3.0-or-later
#include "EnterpriseRegistry.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>

namespace brellan::names {

namespace {

constexpr std::uintmax_t maxRegistryBytes = 16 * 1024 * 1024;
constexpr std::size_t maxDescriptorLength = 64;

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The plain letter of a Latin-1 letter U+00C0..U+00FF written in UTF-8 as
// 0xC3 `second` ("é" -> 'e'), or 0 for a sign that is no letter.
char unaccented(unsigned char second)
{
    // U+00C0..U+00FF in order; '\0' for the multiplication and division signs.
    static constexpr char plain[] = "AAAAAAACEEEEIIIIDNOOOOO\0OUUUUYTsaaaaaaaceeeeiiiidnooooo\0ouuuuyty";
    static_assert(sizeof plain == 64 + 1);
    return second >= 0x80 && second < 0xC0 ? plain[second - 0x80] : '\0';
}

// The name's words: runs of letters, digits and hyphens, the accented
// letters unaccented, with parts in parentheses left out.
std::vector<std::string> wordsOf(std::string_view name)
{
    std::vector<std::string> words(1);
    int parentheses = 0;
    for (std::size_t at = 0; at < name.size(); ++at) {
        const char c = name[at];
        char kept = '\0';
        if (c == '(') {
            ++parentheses;
        } else if (c == ')') {
            parentheses = parentheses > 0 ? parentheses - 1 : 0;
        } else if (isAsciiLetter(c) || isAsciiDigit(c) || c == '-') {
            kept = c;
        } else if (static_cast<unsigned char>(c) == 0xC3 && at + 1 < name.size()) {
            kept = unaccented(static_cast<unsigned char>(name[++at]));
            if (kept == 's') // ß
                words.back() += 's';
        }
        if (kept != '\0' && parentheses == 0)
            words.back() += kept;
        else if (!words.back().empty())
            words.emplace_back();
    }
    std::erase_if(words, [](const std::string& word) {
        return word.find_first_not_of('-') == std::string::npos;
    });
    return words;
}

bool isAllCapitals(const std::string& word)
{
    for (const char c : word)
        if (c >= 'a' && c <= 'z')
            return false;
    return true;
}

std::string trimmedOfHyphens(std::string text)
{
    const auto first = text.find_first_not_of('-');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of('-') - first + 1);
}

// "NUMBER<blanks>NAME[<tab># note]" to the number and the name.
std::optional<std::pair<std::uint32_t, std::string_view>> parseEntry(std::string_view line)
{
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), number);
    if (error != std::errc() || end == line.data())
        return std::nullopt;
    std::string_view rest = line.substr(static_cast<std::size_t>(end - line.data()));
    if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t'))
        return std::nullopt;
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    if (const auto note = rest.find("\t#"); note != std::string_view::npos)
        rest = rest.substr(0, note);
    return std::pair{number, rest};
}

} // namespace

std::string registryDescriptor(std::string_view name)
{
    std::string descriptor;
    for (const std::string& word : wordsOf(name)) {
        if (descriptor.empty()) {
            descriptor = word;
            if (isAllCapitals(word))
                for (char& c : descriptor)
                    c = lower(c);
            else
                descriptor.front() = lower(descriptor.front());
        } else {
            descriptor += upper(word.front());
            descriptor.append(word, 1);
        }
    }
    descriptor = trimmedOfHyphens(std::move(descriptor));
    if (descriptor.size() > maxDescriptorLength)
        descriptor = trimmedOfHyphens(descriptor.substr(0, maxDescriptorLength));
    return descriptor;
}

NameIndex readEnterpriseRegistry(std::istream& lines)
{
    const snmp::Oid enterprises{1, 3, 6, 1, 4, 1};
    NameIndex index;
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto entry = parseEntry(line);
        if (!entry)
            continue;
        std::string descriptor = registryDescriptor(entry->second);
        if (descriptor.empty())
            continue;
        snmp::Oid oid = enterprises;
        oid.push_back(entry->first);
        index.add(std::move(oid), {{}, std::move(descriptor), {}});
    }
    return index;
}

NameIndex readEnterpriseRegistry(const std::filesystem::path& path,
                                 const std::function<void(const std::string&)>& problem)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return {};
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error || bytes > maxRegistryBytes) {
        problem(path.string() + ": " + (error ? error.message() : "larger than 16 MB") + ", not read");
        return {};
    }
    std::ifstream file(path);
    if (!file) {
        problem(path.string() + ": cannot be opened, not read");
        return {};
    }
    return readEnterpriseRegistry(file);
}

} // namespace brellan::names
