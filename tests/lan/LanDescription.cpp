// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanDescription.h"

#include <QFile>
#include <QStringList>

namespace brellan::lan {

namespace {

constexpr int agentColumns = 11;

LanAgent agentFrom(const QStringList& columns)
{
    LanAgent agent;
    agent.ns = columns[1];
    agent.address = columns[2];
    agent.role = columns[3];
    agent.community = columns[4];
    agent.sysDescr = columns[5];
    agent.sysObjectID = columns[6];
    agent.sysContact = columns[7];
    agent.sysName = columns[8];
    agent.sysLocation = columns[9];
    agent.managerAddress = columns[10];
    return agent;
}

} // namespace

const LanAgent* LanDescription::byRole(const QString& role, int skip) const
{
    for (const LanAgent& agent : agents) {
        if (agent.role == role && skip-- == 0)
            return &agent;
    }
    return nullptr;
}

const LanAgent* LanDescription::byAddress(const QString& address) const
{
    for (const LanAgent& agent : agents) {
        if (agent.address == address)
            return &agent;
    }
    return nullptr;
}

std::vector<const LanAgent*> LanDescription::answering() const
{
    std::vector<const LanAgent*> result;
    for (const LanAgent& agent : agents) {
        if (agent.answersMervik() && agent.role != QStringLiteral("ipv6-only"))
            result.push_back(&agent);
    }
    return result;
}

std::optional<LanDescription> readLanDescription(const QString& path, QString& error)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = "cannot read the LAN description \"" + path + "\"";
        return std::nullopt;
    }
    LanDescription lan;
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        QString line = QString::fromUtf8(file.readLine());
        if (line.endsWith('\n'))
            line.chop(1);
        const QStringList columns = line.split('\t');
        if (columns.size() == 3 && columns[0] == QStringLiteral("attacker")) {
            lan.attacker = LanAttacker{columns[1], columns[2]};
            continue;
        }
        if (columns.size() != agentColumns || columns[0] != QStringLiteral("agent")) {
            error = path + ":" + QString::number(lineNumber) + ": not an agent line: " + line;
            return std::nullopt;
        }
        lan.agents.push_back(agentFrom(columns));
    }
    if (lan.agents.empty()) {
        error = path + ": no agents";
        return std::nullopt;
    }
    return lan;
}

} // namespace brellan::lan
