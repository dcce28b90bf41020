// SPDX-License-Identifier: GPL-3.0-or-later
// Names of object identifiers at scale: generates MODULES vendor modules
// (about 100 objects each: five tables of 18 columns, one enumerated, and
// notifications) beside this program's base modules, then
//  - loads them as the program does, in a child process (--program, the
//    brellan executable run with --load-names), and in this process, and
//    prints the time and the resident memory the names add;
//  - looks up the names of bindings' identifiers (a column and an index)
//    in the merged index of modules, built-in names and the enterprise
//    registry, and the same identifiers with Net-SNMP's snprint_objid over
//    the same modules, one timed call each, and prints median and p99.
// Usage: bench_names [--modules 500] [--lookups 200000] [--program PATH]

#include "BenchSupport.h"
#include "EnterpriseRegistry.h"
#include "ModuleLoader.h"
#include "NameIndexText.h"
#include "NameSources.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <memory>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using namespace brellan;
using bench::steadyNs;

namespace {

constexpr int tablesPerModule = 5;
constexpr int columnsPerTable = 18;
constexpr std::uint32_t firstEnterprise = 3'000'000; // above the registry's numbers

// Names built piece by piece: GCC 12 at -O3 takes "text" + a temporary
// string for an overlapping copy (-Wrestrict).
std::string moduleName(int number)
{
    std::string name = "BENCH";
    name += std::to_string(number);
    name += "-MIB";
    return name;
}

void writeModule(const fs::path& folder, int number)
{
    std::string prefix = "b";
    prefix += std::to_string(number);
    std::ofstream out(folder / moduleName(number));
    out << moduleName(number) << " DEFINITIONS ::= BEGIN\n"
        << "IMPORTS MODULE-IDENTITY, OBJECT-TYPE, NOTIFICATION-TYPE, Integer32, Counter32, enterprises\n"
        << "    FROM SNMPv2-SMI DisplayString FROM SNMPv2-TC;\n"
        << prefix << "Module MODULE-IDENTITY LAST-UPDATED \"202601010000Z\" ORGANIZATION \"bench\"\n"
        << "    CONTACT-INFO \"none\" DESCRIPTION \"generated\" REVISION \"202601010000Z\" DESCRIPTION \"first\"\n"
        << "    ::= { enterprises " << firstEnterprise + static_cast<std::uint32_t>(number) << " }\n";
    for (int table = 1; table <= tablesPerModule; ++table) {
        const std::string t = prefix + "T" + std::to_string(table);
        out << t << "Table OBJECT-TYPE SYNTAX SEQUENCE OF " << "B" << t << "Entry MAX-ACCESS not-accessible\n"
            << "    STATUS current DESCRIPTION \"t\" ::= { " << prefix << "Module " << table << " }\n"
            << t << "Entry OBJECT-TYPE SYNTAX B" << t << "Entry MAX-ACCESS not-accessible STATUS current\n"
            << "    DESCRIPTION \"e\" INDEX { " << t << "C1 } ::= { " << t << "Table 1 }\n"
            << "B" << t << "Entry ::= SEQUENCE { " << t << "C1 Integer32";
        for (int column = 2; column <= columnsPerTable; ++column)
            out << ", " << t << "C" << column << (column == 2 ? " INTEGER" : column % 2 ? " Counter32" : " DisplayString");
        out << " }\n";
        for (int column = 1; column <= columnsPerTable; ++column) {
            const char* syntax = column == 1   ? "Integer32 (1..65535)"
                                 : column == 2 ? "INTEGER { up(1), down(2), testing(3), broken(4) }"
                                 : column % 2  ? "Counter32"
                                               : "DisplayString";
            out << t << "C" << column << " OBJECT-TYPE SYNTAX " << syntax << " MAX-ACCESS "
                << (column == 1 ? "not-accessible" : "read-only") << " STATUS current DESCRIPTION \"c\"\n"
                << "    ::= { " << t << "Entry " << column << " }\n";
        }
    }
    out << prefix << "Events OBJECT IDENTIFIER ::= { " << prefix << "Module 0 }\n";
    for (int event = 1; event <= 3; ++event)
        out << prefix << "Event" << event << " NOTIFICATION-TYPE OBJECTS { " << prefix << "T1C2 } STATUS current\n"
            << "    DESCRIPTION \"n\" ::= { " << prefix << "Events " << event << " }\n";
    out << "END\n";
}

// The identifiers of bindings: a random column of a random table of a
// random module, with an index.
std::vector<snmp::Oid> bindingOids(int modules, std::size_t count)
{
    std::mt19937 random(7);
    std::vector<snmp::Oid> oids;
    oids.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto module = static_cast<std::uint32_t>(random() % static_cast<unsigned>(modules));
        oids.push_back({1, 3, 6, 1, 4, 1, firstEnterprise + module, 1 + static_cast<std::uint32_t>(random() % 5), 1,
                        2 + static_cast<std::uint32_t>(random() % (columnsPerTable - 1)),
                        1 + static_cast<std::uint32_t>(random() % 48)});
    }
    return oids;
}

double megabytes(std::int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The modules' names read the way the program reads them: a child process.
names::NameIndex loadInChild(const std::string& program, const std::vector<fs::path>& folders)
{
    std::string command = "'" + program + "' --load-names";
    for (const fs::path& folder : folders)
        command += " '" + folder.string() + "'";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
    std::string text;
    char buffer[1 << 16];
    for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        text.append(buffer, got);
    std::istringstream lines(text);
    return names::readNameIndex(lines, 10'000'000);
}

template <typename Lookup>
void timeLookups(const char* who, const std::vector<snmp::Oid>& oids, Lookup lookup)
{
    std::vector<double> samples;
    samples.reserve(oids.size());
    std::size_t named = 0;
    for (const snmp::Oid& oid : oids) {
        const std::int64_t start = steadyNs();
        named += lookup(oid);
        samples.push_back(static_cast<double>(steadyNs() - start));
    }
    std::cout << "lookup." << who << ".median_ns=" << bench::percentile(samples, 0.5) << '\n'
              << "lookup." << who << ".p99_ns=" << bench::percentile(samples, 0.99) << '\n'
              << "lookup." << who << ".named=" << named << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    const bench::Arguments arguments(argc, argv);
    const int modules = static_cast<int>(arguments.number("--modules", 500));
    const auto lookups = static_cast<std::size_t>(arguments.number("--lookups", 200'000));
    const std::string program = arguments.text("--program");

    std::string pattern = (fs::temp_directory_path() / "brellan-bench-names-XXXXXX").string();
    const fs::path folder = ::mkdtemp(pattern.data());
    for (int number = 0; number < modules; ++number)
        writeModule(folder, number);
    const std::vector<fs::path> folders{folder, BRELLAN_BASE_MODULES_DIR};

    malloc_trim(0);
    const std::int64_t rssBefore = bench::residentBytes();
    std::shared_ptr<const names::NameIndex> merged;
    if (!program.empty()) {
        const std::int64_t start = steadyNs();
        merged = names::mergeNames(loadInChild(program, folders), std::string(names::debianEnterpriseRegistry),
                                   [](const std::string&) {});
        std::cout << "load.child_s=" << static_cast<double>(steadyNs() - start) / 1e9 << '\n';
        malloc_trim(0);
        std::cout << "load.child_rss_added_mb=" << megabytes(bench::residentBytes() - rssBefore) << '\n';
        merged.reset();
    }
    {
        std::size_t problems = 0;
        const std::int64_t start = steadyNs();
        names::NameIndex fromModules = names::loadModules(folders, [&](const std::string&) { ++problems; });
        std::cout << "load.modules=" << modules << "\nload.objects=" << fromModules.size()
                  << "\nload.problems=" << problems << '\n';
        merged = names::mergeNames(std::move(fromModules), std::string(names::debianEnterpriseRegistry),
                                   [](const std::string&) {});
        std::cout << "load.in_process_s=" << static_cast<double>(steadyNs() - start) / 1e9 << '\n';
        malloc_trim(0);
        std::cout << "load.in_process_rss_added_mb=" << megabytes(bench::residentBytes() - rssBefore) << '\n'
                  << "load.names=" << merged->size() << '\n';
    }

    const std::vector<snmp::Oid> oids = bindingOids(modules, lookups);
    timeLookups("brellan", oids, [&](const snmp::Oid& oid) { return oidNameText(*merged, oid).has_value(); });

    // Net-SNMP over the same modules and base modules.
    const std::string mibDirs = folder.string() + ":" + BRELLAN_BASE_MODULES_DIR;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    setenv("MIBDIRS", mibDirs.c_str(), 1);
    setenv("MIBS", "ALL", 1);
    const std::int64_t netsnmpStart = steadyNs();
    snmp_set_save_descriptions(0);
    netsnmp_set_mib_directory(mibDirs.c_str());
    init_snmp("bench_names");
    std::cout << "load.netsnmp_s=" << static_cast<double>(steadyNs() - netsnmpStart) / 1e9 << '\n';
    std::vector<oid> netsnmpOid(MAX_OID_LEN);
    char text[1024];
    timeLookups("netsnmp", oids, [&](const snmp::Oid& arcs) {
        std::copy(arcs.begin(), arcs.end(), netsnmpOid.begin());
        snprint_objid(text, sizeof text, netsnmpOid.data(), arcs.size());
        return text[0] != '.';
    });
    snprint_objid(text, sizeof text, netsnmpOid.data(), oids.back().size());
    std::cout << "example.netsnmp=" << text << "\nexample.brellan=" << oidNameText(*merged, oids.back()).value_or("")
              << '\n';
    snmp_shutdown("bench_names");
    fs::remove_all(folder);
    return 0;
}
