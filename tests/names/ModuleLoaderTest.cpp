// SPDX-License-Identifier: GPL-3.0-or-later
// Names from MIB modules read with libsmi: a vendor's SMIv2 and SMIv1
// modules in the user's ~/.snmp/mibs, resolved with this program's base
// modules, beside files that must be skipped without harm.
#include "ModuleLoader.h"
#include "NameSources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace brellan::names;
namespace fs = std::filesystem;

namespace {

class TempHome {
public:
    TempHome()
    {
        std::string pattern = (fs::temp_directory_path() / "brellan-names-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        fs::create_directories(modules());
        for (const char* name : {"ACME-PORTS-MIB.txt", "OLDCO-FANS-MIB", "BROKEN-MIB.my"})
            fs::copy_file(fs::path(BRELLAN_TEST_MIBS_DIR) / name, modules() / name);
    }
    ~TempHome() { fs::remove_all(m_root); }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const fs::path& root() const { return m_root; }
    fs::path modules() const { return m_root / ".snmp" / "mibs"; }

private:
    fs::path m_root;
};

std::string nameOf(const NameIndex& index, const std::vector<std::uint32_t>& oid)
{
    return oidNameText(index, oid).value_or("(none)");
}

bool toldAbout(const std::vector<std::string>& problems, const std::string& part)
{
    for (const std::string& problem : problems)
        if (problem.find(part) != std::string::npos)
            return true;
    return false;
}

const std::vector<std::uint32_t> acmePorts{1, 3, 6, 1, 4, 1, 99999};

} // namespace

TEST(ModuleLoader, VendorModulesInTheHomeFolderResolveOverThisProgramsBaseModules)
{
    const TempHome home;
    std::vector<std::string> problems;
    const NameSources sources{moduleFolders(home.root(), BRELLAN_BASE_MODULES_DIR), {}, {}};
    const auto names = loadNames(sources, [&](const std::string& problem) { problems.push_back(problem); });

    std::vector<std::uint32_t> state = acmePorts;
    state.insert(state.end(), {1, 1, 1, 2, 7});
    EXPECT_EQ(nameOf(*names, state), "ACME-PORTS-MIB::acmePortState.7");
    EXPECT_EQ(labelledValueText(*names, state, 3), "broken(3)");
    // A textual convention's named numbers label the column too.
    std::vector<std::uint32_t> rowStatus = acmePorts;
    rowStatus.insert(rowStatus.end(), {1, 1, 1, 4, 7});
    EXPECT_EQ(labelledValueText(*names, rowStatus, 6), "destroy(6)");
    std::vector<std::uint32_t> notification = acmePorts;
    notification.insert(notification.end(), {0, 1});
    EXPECT_EQ(nameOf(*names, notification), "ACME-PORTS-MIB::acmePortBroken");

    // An SMIv1 trap is the enterprise, 0 and its specific code.
    EXPECT_EQ(nameOf(*names, {1, 3, 6, 1, 4, 1, 99998, 0, 7}), "OLDCO-FANS-MIB::oldcoFanFailed");
    EXPECT_EQ(labelledValueText(*names, std::vector<std::uint32_t>{1, 3, 6, 1, 4, 1, 99998, 1, 0}, 2), "failed(2)");

    // The built-in names fill in what no module defines.
    EXPECT_EQ(nameOf(*names, {1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 3}), "IF-MIB::ifOperStatus.3");
    EXPECT_TRUE(toldAbout(problems, "BROKEN-MIB.my")) << "the broken module is named";
}

TEST(ModuleLoader, BadFilesAreSkippedAndTheRestLoads)
{
    const TempHome home;
    const fs::path modules = home.modules();
    std::ofstream(modules / "EMPTY-MIB");
    std::ofstream(modules / "HUGE-MIB") << std::string(200 * 1024, 'x');
    std::ofstream(modules / "BINARY-MIB") << std::string("\0\xff\x01{{::=", 8) << std::string(1000, '\x80');
    fs::create_directory_symlink(home.root(), modules / "loop");
    fs::create_directories(modules / "a" / "b" / "c" / "d" / "e");
    fs::copy_file(modules / "OLDCO-FANS-MIB", modules / "a" / "b" / "c" / "d" / "e" / "DEEP-MIB");

    std::vector<std::string> problems;
    LoadLimits limits;
    limits.maxFileBytes = 100 * 1024;
    const NameIndex names = loadModules({modules, BRELLAN_BASE_MODULES_DIR},
                                        [&](const std::string& problem) { problems.push_back(problem); }, limits);

    EXPECT_EQ(nameOf(names, acmePorts), "ACME-PORTS-MIB::acmePorts");
    EXPECT_EQ(nameOf(names, {1, 3, 6, 1, 4, 1, 99998, 0, 7}), "OLDCO-FANS-MIB::oldcoFanFailed");
    EXPECT_TRUE(toldAbout(problems, "EMPTY-MIB: empty, skipped"));
    EXPECT_TRUE(toldAbout(problems, "HUGE-MIB: larger than"));
    EXPECT_TRUE(toldAbout(problems, "BROKEN-MIB.my"));
    EXPECT_FALSE(toldAbout(problems, "DEEP-MIB")) << "folders below the depth limit are not entered";
}
