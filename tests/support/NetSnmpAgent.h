// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brellan::test {

// Net-SNMP's snmpd as a test peer: started on 127.0.0.1 on a free high UDP
// port with a generated configuration in a temporary directory, ready once
// it answers, stopped when this object dies. Never touches port 161.
class NetSnmpAgent {
public:
    struct Options {
        std::string community = "mervik";
        // nullopt: sysContact is left out of the agent's view, so a walk
        // goes from sysUpTime straight to sysName.
        std::optional<std::string> sysContact = "Operations <noc@example.test>";
        std::string sysName = "brellan-test-agent";
        std::string sysLocation = "Test rack 7";
        // snmpd has no sysServices unless it is configured.
        std::optional<int> sysServices = 72;
        // The subtrees the community may read; empty means everything.
        std::vector<std::string> viewIncluded;
        std::vector<std::string> viewExcluded;
        // Also listens on [::1] at the same port, for walks over IPv6.
        bool alsoIpv6 = false;
    };

    explicit NetSnmpAgent(Options options);
    NetSnmpAgent() : NetSnmpAgent(Options{}) {}
    ~NetSnmpAgent();
    NetSnmpAgent(const NetSnmpAgent&) = delete;
    NetSnmpAgent& operator=(const NetSnmpAgent&) = delete;

    bool isRunning() const;
    std::uint16_t port() const { return m_port; }
    const Options& options() const { return m_options; }
    // Why the agent did not start, with the end of its log.
    QString error() const { return m_error; }

private:
    bool startOnce(std::uint16_t port);
    bool waitUntilAnswering() const;
    QString configuration() const;
    QString logTail() const;
    void stop();

    Options m_options;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    std::uint16_t m_port = 0;
    QString m_error;
};

// A UDP port on 127.0.0.1 that nothing is bound to at the moment of asking.
std::uint16_t freeLoopbackUdpPort();

} // namespace brellan::test
