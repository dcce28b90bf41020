// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReceivedTrap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace brellan {

// A block of kept traps, in line order, and its raw layout for compression.
struct TrapDetailBlock {
    // One kept trap: its fields, with its datagram as bytes[offset, offset + length).
    struct Record {
        std::uint64_t line = 0;
        std::int64_t microseconds = 0; // receivedAt, since the system clock's epoch
        std::int32_t genericTrap = 0;
        std::int32_t specificTrap = 0;
        std::uint32_t agentAddress = 0;  // IPv4, host byte order
        std::uint32_t sourceAddress = 0; // IPv4, host byte order
        std::uint16_t sourcePort = 0;
        // Which addresses are IPv6 (agentIsIpv6, sourceIsIpv6), and where
        // the first of them is in ipv6Addresses: the agent's, then the source's.
        std::uint8_t ipv6Flags = 0;
        std::uint32_t firstIpv6 = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    static constexpr std::uint8_t agentIsIpv6 = 1;
    static constexpr std::uint8_t sourceIsIpv6 = 2;

    std::vector<Record> records;
    std::vector<std::uint8_t> bytes;
    std::vector<snmp::InetAddress> ipv6Addresses; // the few traps that came over IPv6

    void append(std::uint64_t line, const ReceivedTrap& trap);
    void clear();
    bool empty() const { return records.empty(); }
    // The record of `line`, if the block holds one.
    const Record* find(std::uint64_t line) const;
    ReceivedTrap trap(const Record& record) const;
    // Where the record's trap came from.
    snmp::InetAddress sourceOf(const Record& record) const;
    // Heap bytes the block holds.
    std::size_t capacityBytes() const;

    // The raw layout, one column after another so that like fields sit
    // together: the record count, then line steps, time steps (both as
    // variable-length integers, the first of each from `firstLine` and 0),
    // generic and specific codes (signed, variable-length), agent and
    // source addresses (4 bytes each, 0 for an IPv6 one), ports (2 bytes
    // each), which addresses are IPv6 (a byte each), the IPv6 addresses (16
    // bytes, the zone's length as a variable-length integer, the zone),
    // datagram lengths (variable-length), and the datagrams. `raw` is
    // overwritten.
    void write(std::vector<std::uint8_t>& raw) const;
    // Reads a raw layout back; throws std::runtime_error unless it is whole
    // and consistent (every field inside `raw` and within its type, lengths
    // adding up to the bytes that follow).
    static TrapDetailBlock read(std::span<const std::uint8_t> raw, std::uint64_t firstLine);
    // The same into `block`, whose memory is used again (on a throw it holds
    // part of the block).
    static void read(std::span<const std::uint8_t> raw, std::uint64_t firstLine, TrapDetailBlock& block);
};

} // namespace brellan
