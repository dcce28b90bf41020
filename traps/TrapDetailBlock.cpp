// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapDetailBlock.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace brellan {
namespace {

void putVarint(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

// Signed steps as unsigned: 0, -1, 1, -2, ... become 0, 1, 2, 3, ...
std::uint64_t zigzag(std::int64_t value)
{
    return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}

std::int64_t unzigzag(std::uint64_t value)
{
    return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
}

// Steps between times, in the wrapping arithmetic of unsigned integers, so
// that no pair of times overflows.
std::int64_t stepBetween(std::int64_t from, std::int64_t to)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from));
}

std::int64_t stepFrom(std::int64_t from, std::int64_t step)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(from) + static_cast<std::uint64_t>(step));
}

[[noreturn]] void broken()
{
    throw std::runtime_error("a block of kept traps does not read back whole");
}

// Reads fields front to back, never past the end.
class RawReader {
public:
    explicit RawReader(std::span<const std::uint8_t> raw) : m_raw(raw) {}

    std::uint64_t varint()
    {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t byte = take(1)[0];
            value |= std::uint64_t{byte & 0x7Fu} << shift;
            if ((byte & 0x80) == 0)
                return value;
        }
        broken();
    }
    std::int32_t signed32()
    {
        const std::int64_t value = unzigzag(varint());
        if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
            broken();
        return static_cast<std::int32_t>(value);
    }
    std::uint32_t fixed(std::size_t size)
    {
        std::uint32_t value = 0;
        for (const std::uint8_t byte : take(size))
            value = value << 8 | byte;
        return value;
    }
    std::span<const std::uint8_t> take(std::size_t size)
    {
        if (size > m_raw.size() - m_position)
            broken();
        const std::span<const std::uint8_t> part = m_raw.subspan(m_position, size);
        m_position += size;
        return part;
    }
    std::size_t left() const { return m_raw.size() - m_position; }

private:
    std::span<const std::uint8_t> m_raw;
    std::size_t m_position = 0;
};

snmp::InetAddress readIpv6(RawReader& reader)
{
    snmp::InetAddress::Ipv6Bytes octets{};
    const std::span<const std::uint8_t> taken = reader.take(octets.size());
    std::copy(taken.begin(), taken.end(), octets.begin());
    const std::uint64_t zoneLength = reader.varint();
    if (zoneLength > reader.left())
        broken();
    const std::span<const std::uint8_t> zone = reader.take(static_cast<std::size_t>(zoneLength));
    return snmp::InetAddress::ipv6(octets, std::string(zone.begin(), zone.end()));
}

void putFixed(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t size)
{
    for (std::size_t i = size; i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

void TrapDetailBlock::append(std::uint64_t line, const ReceivedTrap& trap)
{
    const std::vector<std::uint8_t>& datagram = trap.datagram;
    if (datagram.size() > std::numeric_limits<std::uint32_t>::max() - bytes.size())
        throw std::length_error("a block of kept traps cannot hold more than 4 GiB");
    Record record{line, static_cast<std::int64_t>(trap.receivedAt.time_since_epoch().count()), trap.genericTrap,
                  trap.specificTrap, trap.agentAddress.ipv4().value_or(0), trap.sourceAddress.ipv4().value_or(0),
                  trap.sourcePort, 0, static_cast<std::uint32_t>(ipv6Addresses.size()),
                  static_cast<std::uint32_t>(bytes.size()), static_cast<std::uint32_t>(datagram.size())};
    if (trap.agentAddress.isIpv6()) {
        record.ipv6Flags |= agentIsIpv6;
        ipv6Addresses.push_back(trap.agentAddress);
    }
    if (trap.sourceAddress.isIpv6()) {
        record.ipv6Flags |= sourceIsIpv6;
        ipv6Addresses.push_back(trap.sourceAddress);
    }
    records.push_back(record);
    bytes.insert(bytes.end(), datagram.begin(), datagram.end());
}

void TrapDetailBlock::clear()
{
    records.clear();
    bytes.clear();
    ipv6Addresses.clear();
}

const TrapDetailBlock::Record* TrapDetailBlock::find(std::uint64_t line) const
{
    const auto found = std::lower_bound(records.begin(), records.end(), line,
                                        [](const Record& record, std::uint64_t wanted) { return record.line < wanted; });
    return found != records.end() && found->line == line ? &*found : nullptr;
}

ReceivedTrap TrapDetailBlock::trap(const Record& record) const
{
    const auto first = bytes.begin() + record.offset;
    ReceivedTrap trap;
    trap.genericTrap = record.genericTrap;
    trap.specificTrap = record.specificTrap;
    std::size_t ipv6 = record.firstIpv6;
    trap.agentAddress = record.ipv6Flags & agentIsIpv6 ? ipv6Addresses.at(ipv6++) : record.agentAddress;
    trap.receivedAt = std::chrono::sys_time<std::chrono::microseconds>(std::chrono::microseconds(record.microseconds));
    trap.sourceAddress = record.ipv6Flags & sourceIsIpv6 ? ipv6Addresses.at(ipv6) : record.sourceAddress;
    trap.sourcePort = record.sourcePort;
    trap.datagram.assign(first, first + record.length);
    return trap;
}

snmp::InetAddress TrapDetailBlock::sourceOf(const Record& record) const
{
    if ((record.ipv6Flags & sourceIsIpv6) == 0)
        return record.sourceAddress;
    return ipv6Addresses.at(record.firstIpv6 + ((record.ipv6Flags & agentIsIpv6) != 0 ? 1 : 0));
}

std::size_t TrapDetailBlock::capacityBytes() const
{
    return records.capacity() * sizeof(Record) + bytes.capacity()
           + ipv6Addresses.capacity() * sizeof(snmp::InetAddress);
}

void TrapDetailBlock::write(std::vector<std::uint8_t>& raw) const
{
    raw.clear();
    putVarint(raw, records.size());
    std::uint64_t line = records.empty() ? 0 : records.front().line;
    for (const Record& record : records) {
        putVarint(raw, record.line - line);
        line = record.line;
    }
    std::int64_t time = 0;
    for (const Record& record : records) {
        putVarint(raw, zigzag(stepBetween(time, record.microseconds)));
        time = record.microseconds;
    }
    for (const Record& record : records)
        putVarint(raw, zigzag(record.genericTrap));
    for (const Record& record : records)
        putVarint(raw, zigzag(record.specificTrap));
    for (const Record& record : records)
        putFixed(raw, record.agentAddress, 4);
    for (const Record& record : records)
        putFixed(raw, record.sourceAddress, 4);
    for (const Record& record : records)
        putFixed(raw, record.sourcePort, 2);
    for (const Record& record : records)
        raw.push_back(record.ipv6Flags);
    for (const snmp::InetAddress& address : ipv6Addresses) {
        raw.insert(raw.end(), address.ipv6Octets().begin(), address.ipv6Octets().end());
        putVarint(raw, address.zone().size());
        raw.insert(raw.end(), address.zone().begin(), address.zone().end());
    }
    for (const Record& record : records)
        putVarint(raw, record.length);
    raw.insert(raw.end(), bytes.begin(), bytes.end());
}

TrapDetailBlock TrapDetailBlock::read(std::span<const std::uint8_t> raw, std::uint64_t firstLine)
{
    TrapDetailBlock block;
    read(raw, firstLine, block);
    return block;
}

void TrapDetailBlock::read(std::span<const std::uint8_t> raw, std::uint64_t firstLine, TrapDetailBlock& block)
{
    RawReader reader(raw);
    const std::uint64_t count = reader.varint();
    if (count > reader.left()) // every record takes at least a byte
        broken();
    block.ipv6Addresses.clear();
    block.records.resize(static_cast<std::size_t>(count));
    std::uint64_t line = firstLine;
    for (Record& record : block.records) {
        line += reader.varint();
        record.line = line;
    }
    std::int64_t time = 0;
    for (Record& record : block.records) {
        time = stepFrom(time, unzigzag(reader.varint()));
        record.microseconds = time;
    }
    for (Record& record : block.records)
        record.genericTrap = reader.signed32();
    for (Record& record : block.records)
        record.specificTrap = reader.signed32();
    for (Record& record : block.records)
        record.agentAddress = reader.fixed(4);
    for (Record& record : block.records)
        record.sourceAddress = reader.fixed(4);
    for (Record& record : block.records)
        record.sourcePort = static_cast<std::uint16_t>(reader.fixed(2));
    std::uint32_t ipv6Count = 0;
    for (Record& record : block.records) {
        record.ipv6Flags = static_cast<std::uint8_t>(reader.fixed(1));
        if ((record.ipv6Flags & ~(agentIsIpv6 | sourceIsIpv6)) != 0)
            broken();
        record.firstIpv6 = ipv6Count;
        ipv6Count += (record.ipv6Flags & agentIsIpv6 ? 1U : 0U) + (record.ipv6Flags & sourceIsIpv6 ? 1U : 0U);
    }
    for (std::uint32_t i = 0; i < ipv6Count; ++i)
        block.ipv6Addresses.push_back(readIpv6(reader));
    std::uint64_t offset = 0;
    for (Record& record : block.records) {
        const std::uint64_t length = reader.varint();
        if (length > reader.left() || offset + length > reader.left())
            broken();
        record.offset = static_cast<std::uint32_t>(offset);
        record.length = static_cast<std::uint32_t>(length);
        offset += length;
    }
    if (offset != reader.left())
        broken();
    const std::span<const std::uint8_t> datagrams = reader.take(reader.left());
    block.bytes.assign(datagrams.begin(), datagrams.end());
}

} // namespace brellan
