// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SnmpComponent.h"

#include <map>
#include <string>

namespace brellan::bench {

// A stand-in for the SNMP component that sends nothing and raises the Trap
// event when told, so that a tool drives the window with traps without the
// network (and without the receive path's limits).
class StandInComponent final : public SnmpComponent {
public:
    void setVarCount(int) override {}
    void setVarOid(int index, const std::string& oid) override { m_oids[index] = oid; }
    std::string VarOid(int index) const override { return m_oids.count(index) ? m_oids.at(index) : std::string(); }
    std::string VarValue(int) const override { return {}; }
    void setRemoteHost(const std::string& host) override { m_host = host; }
    std::string RemoteHost() const override { return m_host; }
    void Reset() override { m_oids.clear(); }
    void SendGetNext() override {}
    void SendGet() override {}

    void trap(std::int32_t generic, std::int32_t specific, const std::string& agent, const ReceivedTrap& trap)
    {
        raiseTrap(generic, specific, agent, trap);
    }

private:
    std::map<int, std::string> m_oids;
    std::string m_host;
};

} // namespace brellan::bench
