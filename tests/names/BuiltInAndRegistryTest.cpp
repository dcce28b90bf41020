// SPDX-License-Identifier: GPL-3.0-or-later
// The names that need no MIB module: the built-in table, checked against
// Net-SNMP's snmptranslate where it knows the name, and the registry of
// private enterprise numbers as Debian ships it.
#include "EnterpriseRegistry.h"
#include "NameIndex.h"
#include "NameIndexText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <map>
#include <memory>
#include <sstream>
#include <string>

using namespace brellan::names;
using brellan::snmp::formatOid;

namespace {

// What `command` prints on its standard output.
std::string outputOf(const std::string& command)
{
    std::string output;
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        output.append(buffer, got);
    return output;
}

std::string nameOf(const std::vector<std::uint32_t>& oid)
{
    return oidNameText(*builtInNames(), oid).value_or("(none)");
}

} // namespace

TEST(BuiltInNames, AgreeWithSnmptranslateWhereItKnowsTheName)
{
    if (outputOf("command -v snmptranslate").empty())
        GTEST_SKIP() << "snmptranslate is not installed";
    // Every node snmptranslate knows from the modules installed, one
    // '"name"<tabs>"1.3.6..."' a line.
    std::map<std::string, std::string> known;
    std::istringstream lines(outputOf("snmptranslate -m ALL -Tz 2>/dev/null"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name;
        std::string oid;
        if (fields >> std::quoted(name) >> std::quoted(oid))
            known.emplace(name, oid);
    }
    std::size_t checked = 0;
    for (const auto& [oid, node] : builtInNames()->entries()) {
        const auto found = known.find(node.name);
        if (found == known.end())
            continue;
        ++checked;
        EXPECT_EQ(found->second, formatOid(oid)) << node.module << "::" << node.name;
    }
    if (checked == 0)
        GTEST_SKIP() << "snmptranslate knows none of the " << builtInNames()->size() << " names";
    RecordProperty("names_checked", static_cast<int>(checked));
}

TEST(BuiltInNames, ReadTheInstanceAfterTheLongestKnownPrefix)
{
    EXPECT_EQ(nameOf({1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 12}), "IF-MIB::ifOperStatus.12");
    EXPECT_EQ(nameOf({1, 3, 6, 1, 2, 1, 1, 5, 0}), "SNMPv2-MIB::sysName.0");
    EXPECT_EQ(nameOf({1, 3, 6, 1, 6, 3, 1, 1, 5, 4}), "IF-MIB::linkUp");
    EXPECT_EQ(nameOf({1, 3, 6, 1, 2, 1, 7, 5, 1, 2, 127, 0, 0, 1, 161}), "UDP-MIB::udpLocalPort.127.0.0.1.161");
    // An arc with no name of its own falls back to its named parent.
    EXPECT_EQ(nameOf({1, 3, 6, 1, 2, 1, 11, 7, 0}), "SNMPv2-MIB::snmp.7.0");
    EXPECT_EQ(nameOf({2, 5}), "(none)");
    EXPECT_EQ(labelledValueText(*builtInNames(), std::vector<std::uint32_t>{1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 3}, 7),
              "lowerLayerDown(7)");
    EXPECT_EQ(labelledValueText(*builtInNames(), std::vector<std::uint32_t>{1, 3, 6, 1, 2, 1, 2, 2, 1, 7, 3}, 4),
              std::nullopt);
}

TEST(EnterpriseRegistry, NamesTurnIntoSafeDescriptorLikeWords)
{
    EXPECT_EQ(registryDescriptor("Cisco Systems"), "ciscoSystems");
    EXPECT_EQ(registryDescriptor("ciscoSystems"), "ciscoSystems");
    EXPECT_EQ(registryDescriptor("IBM (https://w3.ibm.com/standards )"), "ibm");
    EXPECT_EQ(registryDescriptor("Hewlett-Packard"), "hewlett-Packard");
    EXPECT_EQ(registryDescriptor("Drägerwerk AG & Co. KGaA"), "dragerwerkAGCoKGaA");
    EXPECT_EQ(registryDescriptor("U of Tennessee"), "uOfTennessee");
    EXPECT_EQ(registryDescriptor("--- \x01\x7f\xff\xfe ---"), "");
    EXPECT_EQ(registryDescriptor(std::string(200, 'a')).size(), 64u);
}

TEST(EnterpriseRegistry, ReadsEntriesAndPassesOverTheRest)
{
    std::istringstream file("# comment\n"
                            "\n"
                            "0\tReserved\n"
                            "9\tciscoSystems\n"
                            "95\tRockwell Automation, Inc.\t# formerly 'Allen-Bradley Company'\r\n"
                            "99999999999\tToo Large\n"
                            "12x\tNot A Number\n"
                            "13\t(((\n"
                            "4294967295\tLast One\n");
    const NameIndex index = readEnterpriseRegistry(file);
    EXPECT_EQ(index.size(), 4u);
    EXPECT_EQ(oidNameText(index, std::vector<std::uint32_t>{1, 3, 6, 1, 4, 1, 9, 1, 516}),
              "enterprises.ciscoSystems.1.516");
    EXPECT_EQ(oidNameText(index, std::vector<std::uint32_t>{1, 3, 6, 1, 4, 1, 95}), "enterprises.rockwellAutomationInc");
    EXPECT_EQ(oidNameText(index, std::vector<std::uint32_t>{1, 3, 6, 1, 4, 1, 4294967295}), "enterprises.lastOne");
    EXPECT_EQ(oidNameText(index, std::vector<std::uint32_t>{1, 3, 6, 1, 4, 1, 13}), std::nullopt);
}

TEST(EnterpriseRegistry, DebiansFileNamesCisco)
{
    const std::filesystem::path path(debianEnterpriseRegistry);
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << path << " is not installed (libwireshark-data)";
    std::string problems;
    const NameIndex index = readEnterpriseRegistry(path, [&](const std::string& problem) { problems += problem; });
    EXPECT_EQ(problems, "");
    EXPECT_GT(index.size(), 50000u);
    EXPECT_EQ(oidNameText(index, std::vector<std::uint32_t>{1, 3, 6, 1, 4, 1, 9}), "enterprises.ciscoSystems");
    for (const auto& [oid, node] : index.entries())
        ASSERT_EQ(node.name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-"),
                  std::string::npos)
            << node.name;
}

TEST(NameIndexText, CarriesAnIndexWholeAndPassesOverLinesThatAreNoName)
{
    std::ostringstream written;
    writeNameIndex(*builtInNames(), written);
    std::istringstream text(written.str() + "1.3.6.1.4.1.5\tX-MIB\tname with blanks\n"
                                            "1.3.6.1.4.1.6\tX-MIB\tlabelled\t1=ok\tbad\n"
                                            "not.an.oid\tX-MIB\tname\n"
                                            "1.3.6.1.4.1.7\tX-MIB\n");
    const NameIndex read = readNameIndex(text, 100000);
    ASSERT_EQ(read.size(), builtInNames()->size());
    for (const auto& [oid, node] : builtInNames()->entries()) {
        const NamedNode* copy = read.find(oid);
        ASSERT_NE(copy, nullptr) << node.name;
        EXPECT_EQ(copy->module, node.module);
        EXPECT_EQ(copy->name, node.name);
        EXPECT_EQ(copy->labels, node.labels);
    }
    std::istringstream again(written.str());
    EXPECT_EQ(readNameIndex(again, 10).size(), 10u);
}
