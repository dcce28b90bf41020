// SPDX-License-Identifier: GPL-3.0-or-later
#include "AgentHost.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace brellan::lan {

namespace {

constexpr int commandTimeoutMs = 10000;
const QString community = QStringLiteral("mervik");

} // namespace

bool AgentHost::run(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MIBS", ""); // numeric object identifiers only
    process.setProcessEnvironment(environment);
    process.start("ip", QStringList{"netns", "exec", m_ns, program} + arguments);
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    const bool finished = process.waitForFinished(commandTimeoutMs);
    if (!finished)
        process.kill();
    m_output = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        m_error.clear();
        return true;
    }
    m_error = m_ns + ": " + program + " " + arguments.join(' ') + " failed ("
              + (finished ? "exit " + QString::number(process.exitCode()) : QStringLiteral("timed out")) + "): "
              + errors;
    return false;
}

bool AgentHost::sendV1Trap(const QString& manager, const QString& agentAddress, int generic, int specific)
{
    // Enterprise netSnmpAgentOIDs.10 (Linux); an empty uptime lets snmptrap
    // send its own.
    return run("snmptrap", {"-v", "1", "-c", community, manager + ":162", "1.3.6.1.4.1.8072.3.2.10", agentAddress,
                            QString::number(generic), QString::number(specific), ""});
}

bool AgentHost::sendV2cTrap(const QString& manager, const QString& trapOid)
{
    return run("snmptrap", {"-v", "2c", "-c", community, manager + ":162", "", trapOid});
}

bool AgentHost::installSnmpFilter(int dropTenths)
{
    QByteArray rules = "table inet brellan {\n"
                       "  chain input {\n"
                       "    type filter hook input priority 0; policy accept;\n";
    if (dropTenths > 0)
        rules += "    udp dport 161 numgen random mod 10 < " + QByteArray::number(dropTenths) + " counter drop\n";
    rules += "    udp dport 161 counter accept\n"
             "  }\n";
    // The same share of the agent's answers is lost on the way back.
    if (dropTenths > 0) {
        rules += "  chain output {\n"
                 "    type filter hook output priority 0; policy accept;\n"
                 "    udp sport 161 numgen random mod 10 < "
                 + QByteArray::number(dropTenths) + " drop\n"
                                                    "  }\n";
    }
    rules += "}\n";
    removeSnmpFilter(); // a table left from an earlier scenario starts again from zero
    return run("nft", {"-f", "-"}, rules);
}

bool AgentHost::forgeFirstAnswer(const QString& forgedSource)
{
    const QByteArray rules = "table ip6 brellan_forge {\n"
                             "  chain output {\n"
                             "    type filter hook output priority 0; policy accept;\n"
                             "    udp sport 161 numgen inc mod 1000000 0 ip6 saddr set "
                             + forgedSource.toUtf8() + "\n"
                             "  }\n"
                             "}\n";
    removeForgedAnswers();
    return run("nft", {"-f", "-"}, rules);
}

bool AgentHost::removeForgedAnswers()
{
    return run("nft", {"delete", "table", "ip6", "brellan_forge"});
}

bool AgentHost::removeSnmpFilter()
{
    return run("nft", {"delete", "table", "inet", "brellan"});
}

std::optional<AgentHost::FilterCounts> AgentHost::snmpFilterCounts()
{
    if (!run("nft", {"list", "chain", "inet", "brellan", "input"}))
        return std::nullopt;
    static const QRegularExpression counter(QStringLiteral("counter packets (\\d+) bytes \\d+ (drop|accept)"));
    FilterCounts counts;
    QRegularExpressionMatchIterator matches = counter.globalMatch(m_output);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const std::uint64_t packets = match.captured(1).toULongLong();
        (match.captured(2) == QStringLiteral("drop") ? counts.dropped : counts.passed) += packets;
    }
    return counts;
}

} // namespace brellan::lan
