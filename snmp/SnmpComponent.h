// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Event.h"
#include "ReceivedTrap.h"

#include <cstdint>
#include <string>

namespace brellan {

// The SNMP component as the manager core sees it: a one-request variable
// list, a target address, three methods that send or reset, and three events.
//
// A walk never continues at a broadcast address: SendGetNext to the limited
// broadcast address or to the directed broadcast address of a local
// network sends nothing, so no answer can start a storm of broadcasts.
//
// Use for one request: (selection only) Reset, VarCount := 1,
// VarOid(1) := object identifier, RemoteHost := address, SendGet.
// A walk continues with SendGetNext alone: before raising Response the
// component replaces its variable list with the response's bindings, so the
// next GetNext asks for the object after the one just answered.
//
// Every member may fail; a failure is raised as SnmpError.
class SnmpComponent {
public:
    // Response(errorStatus, agentAddress): raised once per accepted answer.
    using ResponseEvent = Event<std::int32_t, const std::string&>;
    // Trap(genericTrap, specificTrap, agentAddress, trap): raised once per
    // trap; `trap` is the trap as received, for whoever shows more of it
    // than its line (the manager reads none of it).
    using TrapEvent = Event<std::int32_t, std::int32_t, const std::string&, const ReceivedTrap&>;
    // Notice(text): what the operator is to know, in one short line for the
    // status line, of a request that ended without an answer to pass on
    // (given up, stopped because the agent did not move on, or a name that
    // could not be found) or of a broadcast whose answers are no longer
    // taken. Requests abandoned by Reset never raise it.
    using NoticeEvent = Event<const std::string&>;

    virtual ~SnmpComponent() = default;

    // Number of variable bindings in the next request.
    virtual void setVarCount(int count) = 0;
    // Object identifier of binding `index` (1-based), dotted decimal text.
    virtual void setVarOid(int index, const std::string& oid) = 0;
    virtual std::string VarOid(int index) const = 0;
    // Value of binding `index` of the last response, in its text form.
    virtual std::string VarValue(int index) const = 0;
    // Target of the next request: an IPv4 dotted address, "255.255.255.255",
    // an IPv6 address (with its zone, fe80::1%eth0) or a host name.
    virtual void setRemoteHost(const std::string& host) = 0;
    virtual std::string RemoteHost() const = 0;

    virtual void Reset() = 0;
    virtual void SendGetNext() = 0;
    virtual void SendGet() = 0;

    ResponseEvent& Response() { return m_response; }
    TrapEvent& Trap() { return m_trap; }
    NoticeEvent& Notice() { return m_notice; }

protected:
    SnmpComponent() = default;
    SnmpComponent(const SnmpComponent&) = delete;
    SnmpComponent& operator=(const SnmpComponent&) = delete;

    void raiseResponse(std::int32_t errorStatus, const std::string& agentAddress) const
    {
        m_response.raise(errorStatus, agentAddress);
    }
    void raiseTrap(std::int32_t genericTrap, std::int32_t specificTrap, const std::string& agentAddress,
                   const ReceivedTrap& trap) const
    {
        m_trap.raise(genericTrap, specificTrap, agentAddress, trap);
    }
    void raiseNotice(const std::string& text) const { m_notice.raise(text); }

private:
    ResponseEvent m_response;
    TrapEvent m_trap;
    NoticeEvent m_notice;
};

} // namespace brellan
