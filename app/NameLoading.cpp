// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameLoading.h"

#include "EnterpriseRegistry.h"
#include "Form1.h"
#include "NameSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QMetaObject>

Q_LOGGING_CATEGORY(namesLog, "brellan.names")

namespace brellan {

namespace {

names::NameSources installedSources()
{
    // The base modules are installed in share/brellan/mibs beside the
    // program's bin/, and laid out the same way in the build tree.
    const QString baseModules = QDir(QCoreApplication::applicationDirPath()).filePath("../share/brellan/mibs");
    return {names::moduleFolders(QDir::homePath().toStdString(), QDir::cleanPath(baseModules).toStdString()),
            std::string(names::debianEnterpriseRegistry),
            {}};
}

} // namespace

// The window outlives the thread: the destructor joins it first.
NameLoading::NameLoading(Form1& window)
{
    m_thread = std::jthread([sources = installedSources(), target = &window] {
        auto loaded = names::loadNames(sources, [](const std::string& problem) {
            qCWarning(namesLog, "%s", problem.c_str());
        });
        qCInfo(namesLog, "%zu names ready", loaded->size());
        QMetaObject::invokeMethod(
            target, [target, loaded = std::move(loaded)] { target->useNames(loaded); }, Qt::QueuedConnection);
    });
}

} // namespace brellan
