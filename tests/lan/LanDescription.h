// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace brellan::lan {

// One agent host of the test LAN, as test_lan.sh built it.
struct LanAgent {
    QString ns;       // its network namespace
    QString address;  // its one IPv4 address, or its global IPv6 one (role "ipv6-only")
    // "ordinary", "hidden-contact", "system-only", "other-community", or
    // "ipv6-only" (an ordinary agent on the IPv6 segment, which Find Agents
    // never reaches: IPv6 has no broadcast)
    QString role;
    QString community;
    QString sysDescr;
    QString sysObjectID;
    QString sysContact;
    QString sysName;
    QString sysLocation;
    QString managerAddress; // the manager's address on the agent's segment

    bool answersMervik() const { return community == QStringLiteral("mervik"); }
};

// The hostile host: no agent, but a program of its own (lan_attacker).
struct LanAttacker {
    QString ns;
    QString address;
};

struct LanDescription {
    std::vector<LanAgent> agents;
    std::optional<LanAttacker> attacker;

    // The first agent with `role`; the n-th (0-based) when `skip` is given.
    const LanAgent* byRole(const QString& role, int skip = 0) const;
    const LanAgent* byAddress(const QString& address) const;
    // Agents that answer the manager's community over IPv4, the rows a
    // search must give.
    std::vector<const LanAgent*> answering() const;
};

// Reads the tab-separated file that test_lan.sh writes (one "agent" line per
// agent host, one "attacker" line for the hostile host). nullopt, with `error` set, when it is missing or malformed.
std::optional<LanDescription> readLanDescription(const QString& path, QString& error);

} // namespace brellan::lan
