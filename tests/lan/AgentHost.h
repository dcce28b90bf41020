// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace brellan::lan {

// Runs Net-SNMP's and nftables' command-line tools inside one agent's
// network namespace (ip netns exec), the way a process on that host would.
class AgentHost {
public:
    explicit AgentHost(QString ns) : m_ns(std::move(ns)) {}

    // Runs `program arguments` in the namespace and waits (bounded) for it;
    // false, with `error()` set, unless it exits with status 0.
    bool run(const QString& program, const QStringList& arguments, const QByteArray& input = {});
    QString error() const { return m_error; }
    QString output() const { return m_output; }

    // snmptrap -v 1: a v1 trap from this host to `manager`:162.
    bool sendV1Trap(const QString& manager, const QString& agentAddress, int generic, int specific);
    // snmptrap -v 2c: a notification `trapOid` from this host to `manager`:162.
    bool sendV2cTrap(const QString& manager, const QString& trapOid);

    // An nftables table "brellan" whose input chain counts every UDP
    // datagram for port 161 and, when `dropTenths` > 0, first drops about
    // that many tenths of them at random, and whose output chain then drops
    // as many tenths of the answers.
    bool installSnmpFilter(int dropTenths);
    bool removeSnmpFilter();
    // Over IPv6: the agent's next answer leaves with `forgedSource` as its
    // source (nftables rewrites it): the right request id, port and value,
    // from the wrong address.
    bool forgeFirstAnswer(const QString& forgedSource);
    bool removeForgedAnswers();
    // Datagrams the filter dropped and let through since it was installed.
    struct FilterCounts {
        std::uint64_t dropped = 0;
        std::uint64_t passed = 0;
    };
    std::optional<FilterCounts> snmpFilterCounts();

private:
    QString m_ns;
    QString m_error;
    QString m_output;
};

} // namespace brellan::lan
