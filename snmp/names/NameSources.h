// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleLoader.h"
#include "NameIndex.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace brellan::names {

// Where names come from besides the built-in table.
struct NameSources {
    std::vector<std::filesystem::path> moduleFolders; // most specific first
    std::filesystem::path enterpriseRegistry;         // may be absent
    LoadLimits limits;
};

// Every name from every source in one index, built once: a name from a
// module wins over the built-in one, which wins over the registry's.
std::shared_ptr<const NameIndex> loadNames(const NameSources& sources, const ProblemSink& problem);

} // namespace brellan::names
