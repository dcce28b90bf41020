// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameLoading.h"

#include "EnterpriseRegistry.h"
#include "FreedMemory.h"
#include "Form1.h"
#include "NameIndexText.h"
#include "NameSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QProcess>

#include <iostream>
#include <sstream>

Q_LOGGING_CATEGORY(namesLog, "brellan.names")

namespace brellan {

namespace {

// Far more than 500 modules of 100 objects take; a child past it is stopped.
constexpr int childTimeLimitMs = 60'000;
constexpr std::size_t maxModuleNames = 2'000'000;

QStringList moduleFolders()
{
    // The base modules are installed in share/brellan/mibs beside the
    // program's bin/, and laid out the same way in the build tree.
    const QString baseModules =
        QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath("../share/brellan/mibs"));
    QStringList folders;
    for (const auto& folder : names::moduleFolders(QDir::homePath().toStdString(), baseModules.toStdString()))
        folders << QString::fromStdString(folder.string());
    return folders;
}

const QByteArray readingMark = "reading ";

// Logs the child's problems; returns the file it was reading last.
QByteArray logProblems(const QByteArray& lines)
{
    QByteArray lastRead;
    for (const QByteArray& line : lines.split('\n')) {
        if (line.startsWith(readingMark))
            lastRead = line.mid(readingMark.size());
        else if (!line.isEmpty())
            qCWarning(namesLog, "%s", line.constData());
    }
    return lastRead;
}

// The modules' names as the child wrote them, or none when it failed.
names::NameIndex namesFromChild(const QString& program, const QStringList& folders, std::stop_token stop)
{
    QProcess child;
    child.start(program, QStringList{"--load-names"} + folders);
    if (!child.waitForStarted()) {
        qCWarning(namesLog, "could not start the module reader: %s", qPrintable(child.errorString()));
        return {};
    }
    // In short waits, so that closing the window stops the child at once.
    for (int waited = 0; !child.waitForFinished(100); waited += 100) {
        if (stop.stop_requested() || waited >= childTimeLimitMs) {
            child.kill();
            child.waitForFinished();
            if (!stop.stop_requested())
                qCWarning(namesLog, "reading the MIB modules took over %d s and was stopped", childTimeLimitMs / 1000);
            return {};
        }
    }
    const QByteArray lastRead = logProblems(child.readAllStandardError());
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        qCWarning(namesLog, "reading the MIB modules failed (%s) while reading %s: their names are not used",
                  child.exitStatus() == QProcess::CrashExit ? "libsmi crashed" : "exit status not 0",
                  lastRead.isEmpty() ? "no file" : lastRead.constData());
        return {};
    }
    std::istringstream text(child.readAllStandardOutput().toStdString());
    return names::readNameIndex(text, maxModuleNames);
}

} // namespace

// The window outlives the thread: the destructor stops and joins it first.
NameLoading::NameLoading(Form1& window)
{
    m_thread = std::jthread([program = QCoreApplication::applicationFilePath(), folders = moduleFolders(),
                             target = &window](std::stop_token stop) {
        names::NameIndex fromModules = namesFromChild(program, folders, stop);
        if (stop.stop_requested())
            return;
        auto loaded = names::mergeNames(std::move(fromModules), std::string(names::debianEnterpriseRegistry),
                                        [](const std::string& problem) { qCWarning(namesLog, "%s", problem.c_str()); });
        qCInfo(namesLog, "%zu names ready", loaded->size());
        returnFreedMemoryToSystem(); // what reading the child's text and the registry took
        QMetaObject::invokeMethod(
            target, [target, loaded = std::move(loaded)] { target->useNames(loaded); }, Qt::QueuedConnection);
    });
}

int NameLoading::loadInChild(const QStringList& arguments)
{
    std::vector<std::filesystem::path> folders;
    for (const QString& folder : arguments)
        folders.emplace_back(folder.toStdString());
    // Each file is named on standard error before libsmi reads it, so that
    // the parent can tell which one a crash came from.
    const names::NameIndex loaded = names::loadModules(
        folders, [](const std::string& problem) { std::cerr << problem << std::endl; }, {},
        [](const std::string& file) { std::cerr << readingMark.constData() << file << std::endl; });
    names::writeNameIndex(loaded, std::cout);
    std::cout.flush();
    return std::cout ? 0 : 1;
}

} // namespace brellan
