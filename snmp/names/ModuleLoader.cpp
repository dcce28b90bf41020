// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleLoader.h"

// libsmi's header names a parameter `class`, a C++ keyword.
#define class smiClass
#include <smi.h>
#undef class

#include <algorithm>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace brellan::names {

namespace fs = std::filesystem;

namespace {

// The folders of /etc/smi.conf as Debian ships it.
const char* const debianModuleFolders[] = {
    "/usr/share/snmp/mibs",      "/usr/share/snmp/mibs/iana", "/usr/share/snmp/mibs/ietf",
    "/usr/share/snmp/mibs/site", "/var/lib/snmp/mibs/site",   "/usr/share/mibs/site",
};

// Extensions libsmi tries for a module name; a file named so is that module.
const char* const moduleExtensions[] = {".txt", ".mib", ".my", ".smiv1", ".smiv2", ".sming", ".MIB", ".TXT"};

struct ModuleFile {
    fs::path path;
    std::string moduleName; // the name the file suggests
};

// The module files to read and the folders to search for imports, in order.
struct ModuleFiles {
    std::vector<ModuleFile> files;
    std::vector<fs::path> searchPath;
};

std::string moduleNameOf(const fs::path& file)
{
    const std::string extension = file.extension().string();
    for (const char* known : moduleExtensions)
        if (extension == known)
            return file.stem().string();
    return file.filename().string();
}

bool isReadable(const fs::path& file)
{
    return ::access(file.c_str(), R_OK) == 0;
}

// The reason a directory entry is not read as a module, or empty to read it.
std::string skipReason(const fs::directory_entry& entry, const LoadLimits& limits)
{
    std::error_code error;
    const std::uintmax_t bytes = entry.file_size(error);
    if (error)
        return error.message();
    if (bytes == 0)
        return "empty";
    if (bytes > limits.maxFileBytes)
        return "larger than " + std::to_string(limits.maxFileBytes / (1024 * 1024)) + " MB";
    if (!isReadable(entry.path()))
        return "not readable";
    return {};
}

class FileFinder {
public:
    FileFinder(const LoadLimits& limits, const ProblemSink& problem) : m_limits(limits), m_problem(problem) {}

    ModuleFiles find(const std::vector<fs::path>& folders)
    {
        for (const fs::path& folder : folders)
            visit(folder);
        return std::move(m_found);
    }

private:
    void visit(const fs::path& folder)
    {
        std::error_code error;
        if (!fs::is_directory(folder, error))
            return;
        addFolder(folder);
        // Symbolic links to folders are not followed, so no link can loop.
        fs::recursive_directory_iterator entries(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
            const fs::directory_entry& entry = *entries;
            if (entry.is_directory(error) && !entry.is_symlink(error)) {
                if (entries.depth() >= m_limits.maxDepth)
                    entries.disable_recursion_pending();
                else
                    addFolder(entry.path());
            } else if (entry.is_regular_file(error)) {
                addFile(entry);
            }
        }
        if (error)
            m_problem(folder.string() + ": " + error.message() + ", read in part");
    }

    void addFolder(const fs::path& folder)
    {
        if (std::find(m_found.searchPath.begin(), m_found.searchPath.end(), folder) == m_found.searchPath.end())
            m_found.searchPath.push_back(folder);
    }

    void addFile(const fs::directory_entry& entry)
    {
        if (m_found.files.size() >= m_limits.maxFiles) {
            if (!m_toldTooMany)
                m_problem(entry.path().parent_path().string() + ": more than " +
                          std::to_string(m_limits.maxFiles) + " files, the rest not read");
            m_toldTooMany = true;
            return;
        }
        if (const std::string reason = skipReason(entry, m_limits); !reason.empty()) {
            m_problem(entry.path().string() + ": " + reason + ", skipped");
            return;
        }
        m_found.files.push_back({entry.path(), moduleNameOf(entry.path())});
    }

    const LoadLimits& m_limits;
    const ProblemSink& m_problem;
    ModuleFiles m_found;
    bool m_toldTooMany = false;
};

// libsmi's errors reach a plain function with no context of ours: while a
// session is open, its thread's errors go to that session's sink.
using SmiErrorSink = std::function<void(const char* path, int line, const char* message, const char* tag)>;
thread_local SmiErrorSink* currentErrorSink = nullptr;

void forwardSmiError(char* path, int line, int /*severity*/, char* message, char* tag)
{
    if (currentErrorSink)
        (*currentErrorSink)(path, line, message, tag);
}

// One use of libsmi, from smiInit to smiExit: the library's state is the
// process's, so sessions take turns.
class SmiSession {
public:
    SmiSession(const std::vector<fs::path>& searchPath, SmiErrorSink errors)
        : m_lock(sessionMutex()), m_errors(std::move(errors))
    {
        // An unnamed tag: no configuration file adds folders or modules.
        smiInit(nullptr);
        smiSetFlags(smiGetFlags() | SMI_FLAG_ERRORS | SMI_FLAG_NODESCR);
        smiSetErrorLevel(1); // errors that stop a module, not its style
        currentErrorSink = &m_errors;
        smiSetErrorHandler(forwardSmiError);
        std::string path;
        for (const fs::path& folder : searchPath) {
            if (!path.empty())
                path += ':';
            path += folder.string();
        }
        smiSetPath(path.c_str());
    }

    ~SmiSession()
    {
        smiExit();
        currentErrorSink = nullptr;
    }

    SmiSession(const SmiSession&) = delete;
    SmiSession& operator=(const SmiSession&) = delete;

private:
    static std::mutex& sessionMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    std::lock_guard<std::mutex> m_lock;
    SmiErrorSink m_errors;
};

std::vector<std::pair<std::int64_t, std::string>> labelsOf(SmiNode* node)
{
    std::vector<std::pair<std::int64_t, std::string>> labels;
    SmiType* type = smiGetNodeType(node);
    if (!type || type->basetype != SMI_BASETYPE_ENUM)
        return labels;
    for (SmiNamedNumber* number = smiGetFirstNamedNumber(type); number; number = smiGetNextNamedNumber(number))
        if (number->name)
            labels.emplace_back(number->value.value.integer32, number->name);
    return labels;
}

// The node's identifier when libsmi could place it in the tree: a node whose
// parent was never defined hangs under a first arc of 0.
std::optional<snmp::Oid> placedOid(const SmiNode* node)
{
    if (!node->name || !*node->name || node->oidlen == 0 || !node->oid)
        return std::nullopt;
    snmp::Oid oid(node->oid, node->oid + node->oidlen);
    if (oid.front() == 0 || !snmp::isEncodable(oid))
        return std::nullopt;
    return oid;
}

// Names every node of the tree that a module libsmi read without error
// defines, walking the tree once from its roots (walking each module's
// nodes in turn costs a pass over the whole tree per module). A module
// with errors is left out: libsmi may leave it half built.
void nameNodes(NameIndex& index, const std::set<std::string>& filesWithErrors)
{
    std::vector<SmiNode*> pending;
    for (const char* root : {"ccitt", "iso", "joint-iso-ccitt"})
        if (SmiNode* node = smiGetNode(nullptr, root))
            pending.push_back(node);
    while (!pending.empty()) {
        SmiNode* node = pending.back();
        pending.pop_back();
        if (node->oidlen >= snmp::maxOidLength)
            continue;
        for (SmiNode* child = smiGetFirstChildNode(node); child; child = smiGetNextChildNode(child))
            pending.push_back(child);
        const SmiModule* module = smiGetNodeModule(node);
        if (!module || !module->name || !module->path || filesWithErrors.count(module->path))
            continue;
        if (const std::optional<snmp::Oid> oid = placedOid(node))
            index.add(*oid, {module->name, node->name, labelsOf(node)});
    }
}

// Counts libsmi's errors by file and tells the first of each file, up to
// a bound for the whole load.
class ErrorReport {
public:
    ErrorReport(const ProblemSink& problem, std::size_t maxProblems) : m_problem(problem), m_maxProblems(maxProblems)
    {
    }

    void error(const char* path, int line, const char* message, const char* tag)
    {
        const std::string file = path ? path : "(module search)";
        // A module that imports from one that is not installed is still
        // whole: only what it imports stays unplaced.
        const bool missingImport = tag && std::string_view(tag) == "module-not-found";
        if (!missingImport)
            m_filesWithErrors.insert(file);
        if (!m_toldFiles.insert(file).second || m_told >= m_maxProblems)
            return;
        ++m_told;
        // Piece by piece: GCC 12 at -O3 takes a chain of + here for an
        // overlapping copy (-Wrestrict).
        std::string text = file;
        if (line > 0) {
            text += ':';
            text += std::to_string(line);
        }
        text += ": ";
        text += message ? message : "error";
        text += missingImport ? ", its module read in part" : ", its module skipped";
        m_problem(text);
    }

    const std::set<std::string>& filesWithErrors() const { return m_filesWithErrors; }

private:
    const ProblemSink& m_problem;
    std::size_t m_maxProblems;
    std::size_t m_told = 0;
    std::set<std::string> m_toldFiles;
    std::set<std::string> m_filesWithErrors;
};

} // namespace

std::vector<fs::path> moduleFolders(const fs::path& home, const fs::path& baseModules)
{
    std::vector<fs::path> folders;
    if (!home.empty())
        folders.push_back(home / ".snmp" / "mibs");
    folders.insert(folders.end(), std::begin(debianModuleFolders), std::end(debianModuleFolders));
    if (!baseModules.empty())
        folders.push_back(baseModules);
    return folders;
}

NameIndex loadModules(const std::vector<fs::path>& folders, const ProblemSink& problem, const LoadLimits& limits,
                      const ProblemSink& reading)
{
    const ModuleFiles found = FileFinder(limits, problem).find(folders);
    ErrorReport report(problem, limits.maxProblems);
    NameIndex index;
    {
        SmiSession session(found.searchPath, [&](const char* path, int line, const char* message, const char* tag) {
            report.error(path, line, message, tag);
        });
        // By module name first, which libsmi looks for along the search
        // path, most specific folder first; by the file's path when the
        // file is named otherwise than its module.
        for (const ModuleFile& file : found.files) {
            if (reading)
                reading(file.path.string());
            if (!smiGetModule(file.moduleName.c_str()))
                smiLoadModule(file.path.c_str());
        }
        nameNodes(index, report.filesWithErrors());
    }
    return index;
}

} // namespace brellan::names
