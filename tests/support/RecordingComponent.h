// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SnmpComponent.h"
#include "SnmpError.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace brellan::test {

// A stand-in for the SNMP component that records every member call as text
// ("Reset", "VarCount=1", "VarOid(1)=1.3...", "RemoteHost=...", "SendGet",
// "SendGetNext"; reads as "VarOid(1)?" and "VarValue(1)?"), can be told to
// fail a call, and lets a test deliver answers and traps as the real
// component would: variable list first, then the event.
class RecordingComponent final : public SnmpComponent {
public:
    mutable std::vector<std::string> calls;
    // Called with each recorded call before it takes effect.
    std::function<void(const std::string&)> onCall;
    // The call (as recorded) that throws SnmpError instead of succeeding.
    std::string failingCall;

    int varCount = 0;
    std::map<int, std::string> oids;
    std::map<int, std::string> values;
    std::string remoteHost;

    void setVarCount(int count) override
    {
        record("VarCount=" + std::to_string(count));
        varCount = count;
    }
    void setVarOid(int index, const std::string& oid) override
    {
        record("VarOid(" + std::to_string(index) + ")=" + oid);
        oids[index] = oid;
    }
    std::string VarOid(int index) const override
    {
        record("VarOid(" + std::to_string(index) + ")?");
        return lookup(oids, index);
    }
    std::string VarValue(int index) const override
    {
        record("VarValue(" + std::to_string(index) + ")?");
        return lookup(values, index);
    }
    void setRemoteHost(const std::string& host) override
    {
        record("RemoteHost=" + host);
        remoteHost = host;
    }
    std::string RemoteHost() const override { return remoteHost; }
    void Reset() override
    {
        record("Reset");
        oids.clear();
        values.clear();
        varCount = 0;
    }
    void SendGetNext() override { record("SendGetNext"); }
    void SendGet() override { record("SendGet"); }

    // Deliver one answer: the variable list becomes (oid, value), then Response.
    void answer(const std::string& oid, const std::string& value, std::int32_t errorStatus,
                const std::string& from)
    {
        oids = {{1, oid}};
        values = {{1, value}};
        raiseResponse(errorStatus, from);
    }
    void trap(std::int32_t generic, std::int32_t specific, const std::string& from,
              const ReceivedTrap& received = {})
    {
        raiseTrap(generic, specific, from, received);
    }

    // The calls that change the component or send, without the reads.
    std::vector<std::string> commands() const
    {
        std::vector<std::string> result;
        for (const std::string& call : calls) {
            if (call.back() != '?')
                result.push_back(call);
        }
        return result;
    }

private:
    void record(const std::string& call) const
    {
        calls.push_back(call);
        if (onCall)
            onCall(call);
        if (call == failingCall)
            throw SnmpError("test failure of " + call);
    }
    static std::string lookup(const std::map<int, std::string>& list, int index)
    {
        const auto it = list.find(index);
        if (it == list.end())
            throw SnmpError("no variable binding " + std::to_string(index));
        return it->second;
    }
};

} // namespace brellan::test
