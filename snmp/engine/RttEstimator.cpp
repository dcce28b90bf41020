// SPDX-License-Identifier: GPL-3.0-or-later
#include "RttEstimator.h"

#include <algorithm>

namespace brellan {

namespace {

// The clock granularity G of RFC 6298: the least margin over the
// smoothed round trip, however steady the agent.
constexpr RttEstimator::Duration granularity = std::chrono::milliseconds(1);

RttEstimator::Duration absolute(RttEstimator::Duration value)
{
    return value < RttEstimator::Duration::zero() ? -value : value;
}

} // namespace

void RttEstimator::addSample(const snmp::InetAddress& agent, Duration roundTrip)
{
    if (m_agents.size() >= maxAgents && !m_agents.contains(agent))
        m_agents.clear();
    Estimate& estimate = m_agents[agent];
    if (!estimate.sampled) {
        // (2.2) SRTT <- R, RTTVAR <- R/2
        estimate.smoothed = roundTrip;
        estimate.variation = roundTrip / 2;
        estimate.sampled = true;
    } else {
        // (2.3) RTTVAR <- 3/4 RTTVAR + 1/4 |SRTT - R'|, then SRTT <- 7/8 SRTT + 1/8 R'
        estimate.variation = (3 * estimate.variation + absolute(estimate.smoothed - roundTrip)) / 4;
        estimate.smoothed = (7 * estimate.smoothed + roundTrip) / 8;
    }
    estimate.backedOff = std::chrono::milliseconds(0);
}

void RttEstimator::noteTimeout(const snmp::InetAddress& agent, std::chrono::milliseconds waited)
{
    if (m_agents.size() >= maxAgents && !m_agents.contains(agent))
        m_agents.clear();
    Estimate& estimate = m_agents[agent];
    estimate.backedOff = std::min(std::max(estimate.backedOff, waited * 2), m_timing.maximumWait);
}

void RttEstimator::noteAnswerAfterResend(const snmp::InetAddress& agent, Duration sinceLastCopy)
{
    const auto found = m_agents.find(agent);
    if (found == m_agents.end() || !found->second.sampled)
        return;
    // Within half the learnt wait: well before a copy sent one wait earlier
    // could have been answered by an agent that takes as long as that wait.
    Estimate& estimate = found->second;
    const std::chrono::milliseconds learnt = bounded(estimate.smoothed + std::max(granularity, 4 * estimate.variation));
    if (sinceLastCopy <= Duration(learnt) / 2)
        estimate.backedOff = std::chrono::milliseconds(0);
}

std::chrono::milliseconds RttEstimator::timeout(const snmp::InetAddress& agent) const
{
    const auto found = m_agents.find(agent);
    if (found == m_agents.end())
        return m_timing.initialWait;
    const Estimate& estimate = found->second;
    // (2.3) RTO <- SRTT + max(G, K * RTTVAR), K = 4
    const std::chrono::milliseconds learnt =
        estimate.sampled ? bounded(estimate.smoothed + std::max(granularity, 4 * estimate.variation))
                         : m_timing.initialWait;
    return std::max(learnt, estimate.backedOff);
}

std::chrono::milliseconds RttEstimator::bounded(Duration wait) const
{
    const auto rounded = std::chrono::ceil<std::chrono::milliseconds>(wait);
    return std::clamp(rounded, m_timing.minimumWait, m_timing.maximumWait);
}

} // namespace brellan
