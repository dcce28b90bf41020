// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NameIndex.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace brellan::names {

// Told each module file that was skipped or that libsmi could not read, as
// one line of text naming the file and why.
using ProblemSink = std::function<void(const std::string&)>;

// What one load reads at most: a file over `maxFileBytes` is skipped, and
// folders deeper than `maxDepth` below a module folder are not entered.
struct LoadLimits {
    std::uintmax_t maxFileBytes = 4 * 1024 * 1024;
    int maxDepth = 3;
    std::size_t maxFiles = 20000;
    std::size_t maxProblems = 200;
};

// The folders modules are read from, most specific first: the user's
// ~/.snmp/mibs, the folders Debian's libsmi configuration names, and last
// `baseModules`, this program's own base modules for a system that has none.
std::vector<std::filesystem::path> moduleFolders(const std::filesystem::path& home,
                                                 const std::filesystem::path& baseModules);

// Reads every module file in `folders` (and their subfolders) with libsmi
// and names every node they define, with its module and, for an enumerated
// INTEGER, its labels. A module found in an earlier folder hides one of
// the same name in a later one. Files that are skipped or do not parse are
// told to `problem`; the rest still load. `reading`, if given, is told
// each file's path before libsmi reads it.
//
// libsmi keeps its state in the process: one load runs at a time (others
// wait), on whatever thread calls it, and leaves nothing of libsmi behind.
NameIndex loadModules(const std::vector<std::filesystem::path>& folders, const ProblemSink& problem,
                      const LoadLimits& limits = {}, const ProblemSink& reading = {});

} // namespace brellan::names
