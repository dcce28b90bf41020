// SPDX-License-Identifier: GPL-3.0-or-later
// Writes every kind of message the encoder produces into a pcap file, each
// inside synthetic Ethernet, IPv4 and UDP headers (ports 161 and 162), so
// that a protocol analyser can check the encoding. Nothing is sent.
//
// Usage: codec_write_pcap <file.pcap>

#include "Message.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace brellan::snmp;
using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void put32le(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint16_t ipChecksum(const Bytes& header)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < header.size(); i += 2)
        sum += static_cast<std::uint32_t>(header[i] << 8 | header[i + 1]);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

// 192.0.2.0/24 is reserved for documentation: these addresses exist only in the file.
Bytes frame(const Bytes& payload, std::uint16_t sourcePort, std::uint16_t destinationPort, bool fromAgent)
{
    const std::array<std::uint8_t, 4> manager{192, 0, 2, 10};
    const std::array<std::uint8_t, 4> agent{192, 0, 2, 20};
    Bytes out{0x02, 0, 0, 0, 0, 0x02, 0x02, 0, 0, 0, 0, 0x01, 0x08, 0x00}; // Ethernet, IPv4

    Bytes ip{0x45, 0x00};
    put16(ip, static_cast<std::uint16_t>(20 + 8 + payload.size()));
    ip.insert(ip.end(), {0x00, 0x01, 0x00, 0x00, 64, 17, 0x00, 0x00});
    const auto& source = fromAgent ? agent : manager;
    const auto& destination = fromAgent ? manager : agent;
    ip.insert(ip.end(), source.begin(), source.end());
    ip.insert(ip.end(), destination.begin(), destination.end());
    const std::uint16_t checksum = ipChecksum(ip);
    ip[10] = static_cast<std::uint8_t>(checksum >> 8);
    ip[11] = static_cast<std::uint8_t>(checksum);
    out.insert(out.end(), ip.begin(), ip.end());

    put16(out, sourcePort);
    put16(out, destinationPort);
    put16(out, static_cast<std::uint16_t>(8 + payload.size()));
    put16(out, 0); // no UDP checksum (allowed over IPv4)
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

OctetString octets(const std::string& bytes)
{
    return OctetString{Octets(bytes.begin(), bytes.end())};
}

Message response()
{
    Pdu pdu;
    pdu.type = PduType::GetResponse;
    pdu.requestId = 1001;
    pdu.bindings = {
        {{1, 3, 6, 1, 2, 1, 1, 1, 0}, octets("Brellan test agent")},
        {{1, 3, 6, 1, 2, 1, 1, 2, 0}, ObjectIdentifier{{1, 3, 6, 1, 4, 1, 8072, 3, 2, 10}}},
        {{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{27390607}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1}, Counter{4294967295u}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 5, 1}, Gauge{1000000000}},
        {{1, 3, 6, 1, 2, 1, 4, 20, 1, 1, 127, 0, 0, 1}, IpAddress{{127, 0, 0, 1}}},
        {{1, 3, 6, 1, 4, 1, 99, 1, 0}, Integer{-129}},
        {{1, 3, 6, 1, 4, 1, 99, 2, 0}, Opaque{{0xde, 0xad, 0xbe, 0xef}}},
        {{1, 3, 6, 1, 2, 1, 1, 4, 0}, Null{}},
    };
    return Message{versionV1, "mervik", pdu};
}

Message v1Trap()
{
    TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3, 1};
    trap.agentAddress = {10, 1, 2, 3};
    trap.genericTrap = 6;
    trap.specificTrap = 17;
    trap.timeStamp = 123456;
    trap.bindings = {{{1, 3, 6, 1, 2, 1, 1, 5, 0}, octets("trap-agent")}};
    return Message{versionV1, "mervik", trap};
}

Message v2cTrap()
{
    Pdu trap;
    trap.type = PduType::TrapV2;
    trap.requestId = 2002;
    trap.bindings = {
        {{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{150}},
        {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ObjectIdentifier{{1, 3, 6, 1, 6, 3, 1, 1, 5, 3}}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2}, Integer{2}},
        {{1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 6, 2}, Counter64{18446744073709551615u}},
        {{1, 3, 6, 1, 6, 3, 18, 1, 3, 0}, IpAddress{{10, 9, 8, 7}}},
    };
    return Message{versionV2c, "mervik", trap};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: codec_write_pcap <file.pcap>\n";
        return 2;
    }
    const std::vector<Bytes> frames{
        frame(encodeRequest(PduType::GetRequest, "mervik", 1001, {{1, 3, 6, 1, 2, 1, 1, 1, 0}}), 40000, 161, false),
        frame(encodeRequest(PduType::GetNextRequest, "mervik", 1002, {{1, 3, 6, 1, 2, 1, 1, 4, 0}}), 40000, 161, false),
        frame(encodeMessage(response()), 161, 40000, true),
        frame(encodeMessage(v1Trap()), 40001, 162, true),
        frame(encodeMessage(v2cTrap()), 40001, 162, true),
    };

    Bytes file;
    put32le(file, 0xA1B2C3D4); // pcap, microsecond timestamps
    file.insert(file.end(), {2, 0, 4, 0});
    put32le(file, 0);      // time zone
    put32le(file, 0);      // timestamp accuracy
    put32le(file, 65535);  // snapshot length
    put32le(file, 1);      // link type: Ethernet
    std::uint32_t second = 1700000000;
    for (const Bytes& f : frames) {
        put32le(file, second++);
        put32le(file, 0);
        put32le(file, static_cast<std::uint32_t>(f.size()));
        put32le(file, static_cast<std::uint32_t>(f.size()));
        file.insert(file.end(), f.begin(), f.end());
    }

    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return out ? 0 : 1;
}
