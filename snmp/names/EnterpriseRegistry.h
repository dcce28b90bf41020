// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NameIndex.h"

#include <filesystem>
#include <functional>
#include <istream>
#include <string>
#include <string_view>

namespace brellan::names {

// Where Debian keeps the registry of private enterprise numbers
// (libwireshark-data): one "NUMBER<blanks>NAME" a line, "#" comments.
inline constexpr std::string_view debianEnterpriseRegistry = "/usr/share/wireshark/enterprises.tsv";

// A registry name turned into a descriptor-like word: the name's words in
// lowerCamel case ("Cisco Systems" -> "ciscoSystems", "IBM" -> "ibm",
// "Hewlett-Packard" -> "hewlett-Packard"), only ASCII letters, digits and
// hyphens; accented Latin letters lose their accent, a part in parentheses
// and anything else is left out. Empty when nothing is left.
std::string registryDescriptor(std::string_view name);

// The registry's entries as names under enterprises (1.3.6.1.4.1), with no
// module. A line that does not read as an entry is passed over.
NameIndex readEnterpriseRegistry(std::istream& lines);

// The registry file at `path`, or an empty index when it is absent; a file
// that cannot be read or is over 16 MB is told to `problem`.
NameIndex readEnterpriseRegistry(const std::filesystem::path& path,
                                 const std::function<void(const std::string&)>& problem);

} // namespace brellan::names
