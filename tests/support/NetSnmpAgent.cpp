// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetSnmpAgent.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUdpSocket>

namespace brellan::test {
namespace {

constexpr int startAttempts = 3;
constexpr int answerTimeoutMs = 15000;

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

} // namespace

std::uint16_t freeLoopbackUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

NetSnmpAgent::NetSnmpAgent(Options options) : m_options(std::move(options))
{
    if (!m_dir.isValid()) {
        m_error = "cannot create a temporary directory";
        return;
    }
    // A port may be taken between asking and binding: try a few.
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        if (startOnce(freeLoopbackUdpPort()))
            return;
    }
}

NetSnmpAgent::~NetSnmpAgent()
{
    stop();
}

bool NetSnmpAgent::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

bool NetSnmpAgent::startOnce(std::uint16_t port)
{
    stop();
    if (port == 0) {
        m_error = "no free UDP port on 127.0.0.1";
        return false;
    }
    const QString configPath = m_dir.filePath("snmpd.conf");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = "cannot write " + configPath;
        return false;
    }
    config.write(configuration().toUtf8());
    config.close();

    m_process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SNMP_PERSISTENT_DIR", m_dir.filePath("persist"));
    environment.insert("MIBS", ""); // numeric OIDs only: no MIB loading noise or delay
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_dir.filePath("snmpd.out"));
    // -f: stay in the foreground (so this object owns it); -C: read only our
    // configuration; the one listening address is given on the command line.
    QStringList arguments{"-f", "-C", "-c", configPath, "-Lf", m_dir.filePath("snmpd.log")};
    QString listening = "udp:127.0.0.1:" + QString::number(port);
    if (m_options.alsoIpv6)
        listening += ",udp6:[::1]:" + QString::number(port);
    m_process->start("snmpd", arguments << listening);
    if (!m_process->waitForStarted(5000)) {
        m_error = "cannot start snmpd: " + m_process->errorString();
        m_process.reset();
        return false;
    }
    m_port = port;
    if (waitUntilAnswering()) {
        m_error.clear();
        return true;
    }
    m_error = "snmpd on 127.0.0.1:" + QString::number(port) + " did not answer:\n" + logTail();
    stop();
    return false;
}

QString NetSnmpAgent::configuration() const
{
    QStringList lines;
    if (m_options.viewIncluded.empty())
        lines << "view brellan included .1";
    for (const std::string& subtree : m_options.viewIncluded)
        lines << "view brellan included " + fromStd(subtree);
    for (const std::string& subtree : m_options.viewExcluded)
        lines << "view brellan excluded " + fromStd(subtree);
    if (!m_options.sysContact)
        lines << "view brellan excluded .1.3.6.1.2.1.1.4";
    lines << "rocommunity " + fromStd(m_options.community) + " default -V brellan";
    if (m_options.alsoIpv6)
        lines << "rocommunity6 " + fromStd(m_options.community) + " default -V brellan";
    if (m_options.sysContact)
        lines << "sysContact " + fromStd(*m_options.sysContact);
    lines << "sysName " + fromStd(m_options.sysName);
    lines << "sysLocation " + fromStd(m_options.sysLocation);
    if (m_options.sysServices)
        lines << "sysServices " + QString::number(*m_options.sysServices);
    return lines.join('\n') + '\n';
}

// Asks with Net-SNMP's own snmpgetnext until the agent answers (any answer,
// an error status included), for at most answerTimeoutMs.
bool NetSnmpAgent::waitUntilAnswering() const
{
    const QDeadlineTimer deadline(answerTimeoutMs);
    while (!deadline.hasExpired()) {
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MIBS", "");
        probe.setProcessEnvironment(environment);
        probe.start("snmpgetnext", {"-v1", "-c", fromStd(m_options.community), "-r", "0", "-t", "0.5", "-On",
                                    "127.0.0.1:" + QString::number(m_port), ".1.3.6.1"});
        if (probe.waitForFinished(5000)) {
            const QString output = QString::fromUtf8(probe.readAllStandardOutput() + probe.readAllStandardError());
            if (!output.contains("Timeout") && !output.isEmpty())
                return true;
        }
        // Also notices an agent that has exited (port taken, bad configuration).
        if (m_process->waitForFinished(100) || m_process->state() == QProcess::NotRunning)
            return false;
    }
    return false;
}

QString NetSnmpAgent::logTail() const
{
    QFile log(m_dir.filePath("snmpd.log"));
    if (!log.open(QIODevice::ReadOnly))
        return "(no log)";
    const QByteArray all = log.readAll();
    return QString::fromUtf8(all.right(2000));
}

void NetSnmpAgent::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

} // namespace brellan::test
