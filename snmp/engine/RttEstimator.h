// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RequestTiming.h"

#include "InetAddress.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>

namespace brellan {

// How long to wait for each agent's answer before sending a request again,
// learnt from the answers it gives, as TCP learns it (RFC 6298 section 2:
// a smoothed round-trip time and its variation), within fixed bounds.
//
// Karn's rule is the caller's part: only a request sent once gives a
// sample, since an answer to a resent request may answer either copy. A
// request that timed out leaves the agent's wait doubled (RFC 6298 5.5)
// until a valid sample comes, so an agent that became slow is not sent a
// string of copies for every request.
class RttEstimator {
public:
    using Duration = std::chrono::microseconds;

    // Waits start at timing.initialWait and are learnt within
    // [timing.minimumWait, timing.maximumWait].
    explicit RttEstimator(const RequestTiming& timing) : m_timing(timing) {}

    // A round trip to `agent` of a request that was sent once.
    void addSample(const snmp::InetAddress& agent, Duration roundTrip);
    // A request to `agent` waited `waited` for its first copy and was sent
    // again.
    void noteTimeout(const snmp::InetAddress& agent, std::chrono::milliseconds waited);
    // A request sent more than once was answered `sinceLastCopy` after its
    // last copy. No sample (Karn), but an answer within half the learnt
    // wait answers that last copy: the earlier ones were lost, the agent is
    // as fast as before, and the back-off ends. A slower answer may answer
    // an earlier copy of an agent that became slow, and the back-off stays.
    void noteAnswerAfterResend(const snmp::InetAddress& agent, Duration sinceLastCopy);
    // The first wait for a new request to `agent`.
    std::chrono::milliseconds timeout(const snmp::InetAddress& agent) const;

private:
    struct Estimate {
        bool sampled = false;
        Duration smoothed{0};  // SRTT
        Duration variation{0}; // RTTVAR
        std::chrono::milliseconds backedOff{0}; // after a timeout, until the next sample
    };

    // Enough for every agent an operator works with; beyond it the
    // estimates start again rather than grow without bound.
    static constexpr std::size_t maxAgents = 4096;

    std::chrono::milliseconds bounded(Duration wait) const;

    RequestTiming m_timing;
    std::map<snmp::InetAddress, Estimate> m_agents;
};

} // namespace brellan
