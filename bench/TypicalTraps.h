// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Traps for driving the window without the network: v1 traps as snmptrap
// sends them, each a little different from the one before, and traps that
// carry random bytes, as a hostile host sends them.

#include "Message.h"
#include "ReceivedTrap.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace brellan::bench {

// One trap as the component raises it.
struct RaisedTrap {
    std::int32_t genericTrap = 0;
    std::int32_t specificTrap = 0;
    std::string agentAddress;
    ReceivedTrap trap;
};

// enterpriseSpecific 17 of NET-SNMP's example enterprise, from one of 16
// agents (10.1.0.1 to .16), with the agent's uptime as its time-stamp and
// four bindings of one of its 48 interfaces: ifIndex, ifDescr,
// ifAdminStatus and ifOperStatus. Each comes from its agent's address and a
// fresh ephemeral port (every snmptrap run opens a socket of its own),
// 20 microseconds after the one before, as at 50,000 traps a second.
// As SNMPv2c traps (snmptrap -v 2c), the same trap is sent as RFC 3584
// maps it: sysUpTime.0, snmpTrapOID.0 (the enterprise, 0, the specific
// code), the bindings, and a fresh request-id each time.
class TypicalTraps {
public:
    enum class Version { v1, v2c };

    explicit TypicalTraps(Version version = Version::v1) : m_version(version) {}

    const RaisedTrap& next()
    {
        const std::size_t agent = m_random() % m_uptimes.size();
        m_uptimes[agent] += 1 + static_cast<std::uint32_t>(m_random() % 500);
        const std::uint32_t interface = 1 + static_cast<std::uint32_t>(m_random() % 48);
        snmp::TrapPdu trap;
        trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3};
        trap.agentAddress = {10, 1, 0, static_cast<std::uint8_t>(agent + 1)};
        trap.genericTrap = 6;
        trap.specificTrap = 17;
        trap.timeStamp = m_uptimes[agent];
        const std::string description = "eth" + std::to_string(interface - 1);
        trap.bindings = {
            {{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, interface}, snmp::Integer{static_cast<std::int32_t>(interface)}},
            {{1, 3, 6, 1, 2, 1, 2, 2, 1, 2, interface},
             snmp::OctetString{snmp::Octets(description.begin(), description.end())}},
            {{1, 3, 6, 1, 2, 1, 2, 2, 1, 7, interface}, snmp::Integer{1}},
            {{1, 3, 6, 1, 2, 1, 2, 2, 1, 8, interface}, snmp::Integer{1 + static_cast<std::int32_t>(m_random() % 2)}},
        };
        m_trap.genericTrap = trap.genericTrap;
        m_trap.specificTrap = trap.specificTrap;
        m_trap.agentAddress = "10.1.0." + std::to_string(agent + 1);
        ReceivedTrap& received = m_trap.trap;
        received.genericTrap = trap.genericTrap;
        received.specificTrap = trap.specificTrap;
        received.agentAddress = 0x0A010000u + static_cast<std::uint32_t>(agent + 1);
        received.receivedAt = m_start + std::chrono::microseconds(20 * m_count + m_random() % 5);
        received.sourceAddress = received.agentAddress;
        received.sourcePort = static_cast<std::uint16_t>(32768 + m_random() % 28232);
        received.datagram = m_version == Version::v1 ? snmp::encodeMessage(snmp::Message{snmp::versionV1, "public", trap})
                                                     : v2cDatagram(trap);
        ++m_count;
        return m_trap;
    }

private:
    std::vector<std::uint8_t> v2cDatagram(const snmp::TrapPdu& trap)
    {
        snmp::Pdu pdu;
        pdu.type = snmp::PduType::TrapV2;
        pdu.requestId = static_cast<std::int32_t>(m_random() & 0x7FFFFFFF);
        snmp::Oid trapOid = trap.enterprise;
        trapOid.push_back(0);
        trapOid.push_back(static_cast<std::uint32_t>(trap.specificTrap));
        pdu.bindings = {{{1, 3, 6, 1, 2, 1, 1, 3, 0}, snmp::TimeTicks{trap.timeStamp}},
                        {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, snmp::ObjectIdentifier{trapOid}}};
        pdu.bindings.insert(pdu.bindings.end(), trap.bindings.begin(), trap.bindings.end());
        return snmp::encodeMessage(snmp::Message{snmp::versionV2c, "public", pdu});
    }

    Version m_version;
    std::mt19937_64 m_random{20261208};
    std::array<std::uint32_t, 16> m_uptimes{};
    std::chrono::sys_time<std::chrono::microseconds> m_start =
        std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
    std::uint64_t m_count = 0;
    RaisedTrap m_trap;
};

// Fills `bytes` with pseudo-random bytes (xorshift64*): fast enough for
// megabytes per trap, and as incompressible as real noise.
inline void fillRandom(std::span<std::uint8_t> bytes, std::uint64_t& state)
{
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const std::uint64_t word = state * 0x2545F4914F6CDD1DULL;
        for (std::size_t k = 0; k < 8 && i + k < bytes.size(); ++k)
            bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
}

// A v1 trap from 10.66.0.1 whose one binding is an OCTET STRING of
// `payloadBytes` bytes, the datagram's last bytes: refill them with
// fillRandom for each trap sent.
inline std::vector<std::uint8_t> noisyTrap(std::size_t payloadBytes)
{
    snmp::TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3};
    trap.agentAddress = {10, 66, 0, 1};
    trap.genericTrap = 6;
    trap.specificTrap = 66;
    trap.bindings.push_back({{1, 3, 6, 1, 4, 1, 8072, 2, 3, 2, 1}, snmp::OctetString{snmp::Octets(payloadBytes)}});
    return snmp::encodeMessage(snmp::Message{snmp::versionV1, "public", trap});
}

} // namespace brellan::bench
