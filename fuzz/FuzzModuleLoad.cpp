// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the module loader as a MIB module file in the
// operator's folder, beside this program's base modules, as a file from
// ~/.snmp/mibs goes. Whatever names it yields are looked up the way the
// window looks names up. libsmi itself is not compiled with the fuzzer's
// coverage: the search is guided by the loader's own code, and any crash
// inside libsmi still shows. libsmi leaks by itself: run it with
// ASAN_OPTIONS=detect_leaks=0. Inputs known to crash libsmi are kept out of
// the seed corpus (fuzz/modules-corpus): one is tests/names/mibs/
// CRASHES-LIBSMI-MIB, which the program survives by reading modules in a
// child process.

#include "ModuleLoader.h"
#include "NameIndex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace brellan::names;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// One folder for the whole run, removed at exit.
class ModuleFolder {
public:
    ModuleFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "brellan-fuzz-modules-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        m_path = pattern;
    }
    ~ModuleFolder() { fs::remove_all(m_path); }
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;

    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ModuleFolder folder;
    {
        std::ofstream file(folder.path() / "FUZZ-MIB", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const NameIndex names = loadModules({folder.path(), BRELLAN_BASE_MODULES_DIR}, [](const std::string&) {});
    for (const auto& [oid, node] : names.entries()) {
        check(!node.name.empty() && !node.module.empty());
        const NameIndex::Match match = names.longestPrefix(oid);
        check(match.node != nullptr && match.arcs == oid.size());
        (void)oidNameText(names, oid);
    }
    return 0;
}
