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

// The names of modules, then the built-in ones and the registry's where
// the modules name nothing: a module's name wins over the built-in one,
// which wins over the registry's.
std::shared_ptr<const NameIndex> mergeNames(NameIndex fromModules, const std::filesystem::path& enterpriseRegistry,
                                            const ProblemSink& problem);

// Every name from every source in one index, the modules read in this
// process.
std::shared_ptr<const NameIndex> loadNames(const NameSources& sources, const ProblemSink& problem);

} // namespace brellan::names
