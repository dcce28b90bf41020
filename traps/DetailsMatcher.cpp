// SPDX-License-Identifier: GPL-3.0-or-later
#include "DetailsMatcher.h"

#include "BerTags.h"
#include "Ipv4Text.h"
#include "MessageWalk.h"
#include "ReceivedTrap.h"

#include <xxhash.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace brellan {
namespace {

using Header = TrapDetailLines::Header;

// What is remembered stays within bounds: parts larger than this are
// written for every trap, and the memory starts afresh past so many bytes
// of keys or so many parts (a flood of distinct parts costs no more).
constexpr std::size_t largestRememberedPart = 4096;
constexpr std::size_t rememberedBytes = std::size_t{8} << 20; // of keys, in each Memory
constexpr std::size_t rememberedParts = std::size_t{1} << 16;
constexpr std::size_t rememberedSources = 4096;

void appendBytes(std::string& key, std::span<const std::uint8_t> bytes)
{
    key.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void appendNumber(std::string& key, std::uint32_t number)
{
    const char bytes[4] = {static_cast<char>(number >> 24), static_cast<char>(number >> 16),
                           static_cast<char>(number >> 8), static_cast<char>(number)};
    key.append(bytes, sizeof bytes);
}

// A part and its length, so that two parts in a row cannot run into each other.
void appendPart(std::string& key, std::span<const std::uint8_t> bytes)
{
    appendNumber(key, static_cast<std::uint32_t>(bytes.size()));
    appendBytes(key, bytes);
}

// Whether a line of digits and these other bytes, as `line` holds them (the
// most it may hold of each), may hold the (folded) needle: not when the
// needle has more of one than the line.
bool mayHoldByItsMarks(std::string_view line, std::string_view needle)
{
    std::array<int, 256> room{};
    for (const char c : line)
        ++room[FoldedNeedle::fold(static_cast<unsigned char>(c))];
    return std::all_of(needle.begin(), needle.end(), [&room](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= '0' && byte <= '9') || --room[byte] >= 0;
    });
}

// Whether the needle may end in the number at the end of a line whose
// number follows a blank: the part of it in the number is all digits, and
// the part before (if any) ends with that blank.
bool mayEndInANumberAfterABlank(std::string_view needle)
{
    const std::size_t lastOther = needle.find_last_not_of("0123456789");
    if (lastOther == std::string_view::npos)
        return true;
    return lastOther + 1 < needle.size() && needle[lastOther] == ' ';
}

} // namespace

// One trap's walk. Its header (version, community, and a v1 trap's
// fields but the time-stamp) and its list of bindings are remembered
// together, and each apart, so that a trap seen before costs one look-up.
class DetailsMatcher::Walk final : public snmp::MessageVisitor {
public:
    Walk(DetailsMatcher& matcher, const snmp::InetAddress& source, std::uint16_t port,
         std::span<const std::uint8_t> datagram)
        : m_matcher(matcher), m_source(source), m_port(port), m_datagram(datagram)
    {
    }

    snmp::Decoded<snmp::Consumed> begin(std::int32_t version, std::span<const std::uint8_t> community,
                                        snmp::PduType type) override
    {
        m_version = version;
        m_type = type;
        m_community = community;
        startKey(m_matcher.m_headerKey, 'H');
        appendPart(m_matcher.m_headerKey, community);
        return snmp::Consumed{};
    }

    snmp::Decoded<snmp::Consumed> enterprise(const snmp::BerElement& oid) override
    {
        m_enterprise = oid;
        return snmp::Consumed{};
    }

    snmp::Decoded<snmp::Consumed> trapFields(const TrapFields& fields) override
    {
        m_fields = fields;
        const std::uint32_t agent = snmp::ipv4FromOctets(fields.agentAddress);
        std::string& key = m_matcher.m_headerKey;
        appendPart(key, m_enterprise.content);
        appendNumber(key, agent);
        appendNumber(key, static_cast<std::uint32_t>(fields.genericTrap));
        appendNumber(key, static_cast<std::uint32_t>(fields.specificTrap));
        m_shape = Shape{false, {Hole{fields.timeStampOffset, fields.timeStampSize}, Hole{}}};
        if (const auto elsewhere = TrapDetailLines::agentElsewhere(agent, m_source, m_port))
            m_elsewhereFound = m_matcher.holds(*elsewhere);
        m_timeStampFound = m_matcher.timeStampHolds(fields.timeStamp);
        return snmp::Consumed{};
    }

    snmp::Decoded<snmp::Consumed> requestFields(const RequestFields& fields) override
    {
        m_requestId = Hole{fields.requestIdOffset, fields.requestIdSize};
        return snmp::Consumed{};
    }

    snmp::Decoded<snmp::Consumed> bindings(snmp::BerReader& list, std::span<const std::uint8_t> bytes) override
    {
        std::string& both = m_matcher.m_key;
        both = m_matcher.m_headerKey;
        appendBytes(both, bytes);
        if (const auto remembered = m_matcher.m_parts.find(both)) {
            list.skipToEnd();
            m_partsFound = remembered->found;
            return snmp::Consumed{};
        }
        const std::string bothKey = both;
        DECODE_OR_RETURN(const bool headerFound, headerLinesFound());
        DECODE_OR_RETURN(const ListFound listFound, listLinesFound(list, bytes));
        m_partsFound = headerFound || listFound.rest || listFound.upTime;
        m_restFound = headerFound || listFound.rest;
        m_matcher.m_parts.add(bothKey, {m_partsFound});
        return snmp::Consumed{};
    }

    bool found() const { return m_timeStampFound || m_elsewhereFound || m_partsFound; }
    // The trap's shape, once walked, if it has one whose lines are known
    // apart from those of the fields that differ from trap to trap.
    std::optional<Shape> shape() const
    {
        if (m_shape)
            return m_shape;
        if (m_requestId && m_upTime && m_restFound)
            return Shape{true, {*m_requestId, *m_upTime}};
        return std::nullopt;
    }
    // Whether the lines that every trap of the same shape from the same
    // source address shows hold the needle: all but the source's, which
    // the caller looks at, and those of the fields that differ.
    bool shapeFound() const { return m_shape ? m_elsewhereFound || m_partsFound : m_restFound.value_or(true); }

private:
    void startKey(std::string& key, char kind) const
    {
        const char start[3] = {kind, static_cast<char>(m_version), static_cast<char>(m_type)};
        key.assign(start, sizeof start);
    }

    // Whether the header's lines hold the needle: the version, the
    // community, and a v1 trap's agent-addr, enterprise and codes.
    snmp::Decoded<bool> headerLinesFound()
    {
        const std::string& key = m_matcher.m_headerKey;
        if (const auto remembered = m_matcher.m_parts.find(key))
            return remembered->found;
        const TrapDetailLines& lines = m_matcher.m_lines;
        bool found = m_matcher.holds(TrapDetailLines::version(m_version, m_type))
                     || m_matcher.holds(lines.community(m_community));
        if (m_type == snmp::PduType::TrapV1) {
            DECODE_OR_RETURN(const snmp::Oid enterprise, snmp::decodeOid(m_enterprise));
            found = found || m_matcher.holds(TrapDetailLines::agentAddress(snmp::ipv4FromOctets(m_fields.agentAddress)))
                    || m_matcher.holds(lines.enterprise(enterprise))
                    || m_matcher.holds(TrapDetailLines::genericTrap(m_fields.genericTrap))
                    || m_matcher.holds(TrapDetailLines::specificTrap(m_fields.specificTrap));
        }
        m_matcher.m_parts.add(key, {found});
        return found;
    }

    // Whether the list's lines hold the needle: each binding's line (the
    // first maxBindings), the count, and for v2c the headers' lines, which
    // show the first binding of their object. A first binding of
    // sysUpTime.0's TimeTicks, the field that differs from trap to trap,
    // has its lines (its own and the header's) counted apart.
    struct ListFound {
        bool rest = false;
        bool upTime = false;
    };
    snmp::Decoded<ListFound> listLinesFound(snmp::BerReader& list, std::span<const std::uint8_t> bytes)
    {
        std::string& key = m_matcher.m_key;
        startKey(key, 'L'); // the key holds the PDU's type, which decides the headers' lines
        appendBytes(key, bytes);
        if (const auto remembered = m_matcher.m_parts.find(key)) {
            list.skipToEnd();
            return ListFound{remembered->found, false};
        }
        const std::string listKey = key;
        const std::size_t shown = m_matcher.m_limits.maxBindings;
        const bool v1 = m_type == snmp::PduType::TrapV1;
        std::array<bool, 2> headerSeen{};
        ListFound found;
        std::size_t count = 0;
        while (!list.atEnd()) {
            DECODE_OR_RETURN(const Remembered binding, nextBinding(list, count == 0 && !v1));
            const bool upTime = count == 0 && m_upTime;
            bool& into = upTime ? found.upTime : found.rest;
            into = into || (count < shown && binding.found);
            if (binding.header != noHeader && !headerSeen[binding.header]) {
                headerSeen[binding.header] = true;
                into = into || (!v1 && binding.headerFound);
            }
            ++count;
        }
        for (std::size_t header = 0; header < headerSeen.size(); ++header)
            found.rest = found.rest || (!v1 && !headerSeen[header] && m_matcher.m_inNotInTheTrap[header]);
        found.rest = found.rest || m_matcher.holds(TrapDetailLines::bindingCount(count))
                     || (count > shown && m_matcher.holds(TrapDetailLines::notShown(count - shown)));
        m_matcher.m_parts.add(listKey, {found.rest || found.upTime});
        return found;
    }

    // The next binding's lines, remembered by its bytes, or decoded and
    // written. With `mayBeUpTime`, where its value lies if it is
    // sysUpTime.0's TimeTicks.
    snmp::Decoded<Remembered> nextBinding(snmp::BerReader& list, bool mayBeUpTime)
    {
        snmp::BerReader ahead = list;
        const std::size_t start = list.offset();
        DECODE_OR_RETURN(const snmp::BerElement& element, ahead.next());
        if (mayBeUpTime)
            m_upTime = upTimeValue(element);
        std::string& key = m_matcher.m_key;
        startKey(key, 'B');
        appendBytes(key, m_datagram.subspan(start, ahead.offset() - start));
        if (const auto remembered = m_matcher.m_parts.find(key)) {
            list = ahead;
            return *remembered;
        }
        DECODE_OR_RETURN(const snmp::VarBind binding, snmp::readVarBind(list));
        Remembered written{m_matcher.holds(m_matcher.m_lines.binding(binding))};
        for (const Header header : {Header::trapOid, Header::upTime}) {
            if (binding.oid == TrapDetailLines::headerObject(header)) {
                written.header = static_cast<std::uint8_t>(header);
                written.headerFound = m_matcher.holds(m_matcher.m_lines.headerValue(header, &binding.value));
            }
        }
        m_matcher.m_parts.add(key, written);
        return written;
    }

    // Where the value of a binding of sysUpTime.0 whose value is TimeTicks lies.
    static std::optional<Hole> upTimeValue(const snmp::BerElement& binding)
    {
        static constexpr std::uint8_t upTimeName[] = {snmp::tag::objectIdentifier, 8, 0x2B, 6, 1, 2, 1, 1, 3, 0};
        const std::span<const std::uint8_t> content = binding.content;
        if (content.size() < sizeof upTimeName + 2 || !std::equal(std::begin(upTimeName), std::end(upTimeName), content.begin()))
            return std::nullopt;
        snmp::BerReader value(content.subspan(sizeof upTimeName));
        const snmp::Decoded<snmp::BerElement> ticks = value.next();
        if (!ticks || ticks->tag != snmp::tag::timeTicks || !value.atEnd())
            return std::nullopt;
        return Hole{binding.contentOffset + sizeof upTimeName + ticks->contentOffset, ticks->content.size()};
    }

    DetailsMatcher& m_matcher;
    const snmp::InetAddress& m_source;
    const std::uint16_t m_port;
    const std::span<const std::uint8_t> m_datagram;
    std::int32_t m_version = 0;
    snmp::PduType m_type = snmp::PduType::TrapV1;
    std::span<const std::uint8_t> m_community;
    snmp::BerElement m_enterprise;
    TrapFields m_fields;
    std::optional<Shape> m_shape;       // a v1 trap's
    std::optional<Hole> m_requestId;    // a v2c trap's
    std::optional<Hole> m_upTime;       // and its first binding's
    std::optional<bool> m_restFound;    // in the lines of a v2c trap but sysUpTime.0's
    bool m_timeStampFound = false; // in the time-stamp's line
    bool m_elsewhereFound = false; // in the agent-addr sentence
    bool m_partsFound = false; // in the header's or the bindings' lines
};

DetailsMatcher::DetailsMatcher(std::string_view needle, const DetailLimits& limits, OidNaming naming)
    : m_needle(needle), m_lines(limits, CommunityShown::asText, naming), m_limits(limits), m_naming(naming),
      m_spansLines(needle.find('\n') != std::string_view::npos)
{
    m_inEveryTrap = holds(TrapDetailLines::received(""));
    m_timeStampMayHold = mayHoldByItsMarks(TrapDetailLines::timeStamp(0), m_needle.folded());
    m_portMayHold = mayEndInANumberAfterABlank(needle);
    // sysUpTime.0's lines of the most marks (a value of days), the value
    // written for each trap after the start of its binding's line.
    const snmp::Oid& upTime = TrapDetailLines::headerObject(Header::upTime);
    const snmp::Value days = snmp::TimeTicks{2 * 8640000};
    m_upTimeBindingStart = m_lines.bindingObject(upTime) + " = ";
    m_upTimeMayHold = mayHoldByItsMarks(m_lines.binding({upTime, days}), m_needle.folded())
                      || mayHoldByItsMarks(m_lines.headerValue(Header::upTime, &days), m_needle.folded());
    for (const Header header : {Header::trapOid, Header::upTime})
        m_inNotInTheTrap[static_cast<std::size_t>(header)] = holds(m_lines.headerValue(header, nullptr));
}

bool DetailsMatcher::matches(const snmp::InetAddress& source, std::uint16_t port,
                             std::span<const std::uint8_t> datagram)
{
    if (m_needle.empty() || m_inEveryTrap)
        return true;
    if (m_spansLines)
        return wholeTextMatches(source, port, datagram);
    const std::optional<std::uint32_t> ipv4 = source.ipv4();
    if (!ipv4 || *ipv4 == 0 || datagram.empty())
        return holds(TrapDetailLines::source(source, port)) || datagramMatches(source, port, datagram);
    // A trap like one before from the same address but for the fields
    // that differ from trap to trap: one look-up, and those fields' lines.
    const std::optional<Shape> shape = shapeOf(datagram);
    if (shape) {
        shapeKey(datagram, *shape, *ipv4);
        if (const auto remembered = m_shapes.find(m_shapeKey)) {
            if (const std::optional<bool> own = ownLinesHold(datagram, *shape))
                return remembered->found || (m_portMayHold && portHolds(sourceStart(*ipv4, source), port)) || *own;
        }
    }
    const SourceStart& start = sourceStart(*ipv4, source);
    const bool sourceFound = start.found || (m_portMayHold && portHolds(start, port));
    Walk walk(*this, source, port, datagram);
    if (!snmp::walkMessage(datagram, walk).ok())
        return sourceFound || wholeTextMatches(source, port, datagram); // it says why it does not read back
    if (shape && walk.shape() == shape)
        m_shapes.add(m_shapeKey, {start.found || walk.shapeFound()});
    return sourceFound || walk.found();
}

// The lines below the source's.
bool DetailsMatcher::datagramMatches(const snmp::InetAddress& source, std::uint16_t port,
                                     std::span<const std::uint8_t> datagram)
{
    if (datagram.empty())
        return holds(TrapDetailLines::noDatagram());
    Walk walk(*this, source, port, datagram);
    if (!snmp::walkMessage(datagram, walk).ok())
        return wholeTextMatches(source, port, datagram); // it says why it does not read back
    return walk.found();
}

// Whether the lines of the fields that differ from trap to trap hold the
// needle, or nothing when those fields do not read back (the walk tells).
std::optional<bool> DetailsMatcher::ownLinesHold(std::span<const std::uint8_t> datagram, const Shape& shape)
{
    const auto field = [datagram](std::uint8_t tag, Hole hole) {
        return snmp::BerElement{tag, datagram.subspan(hole.offset, hole.size), 0, hole.offset};
    };
    if (!shape.v2) {
        const snmp::Decoded<std::uint32_t> ticks = snmp::decodeUnsigned32(field(snmp::tag::timeTicks, shape.holes[0]));
        return ticks ? std::optional<bool>(timeStampHolds(*ticks)) : std::nullopt;
    }
    const snmp::Decoded<std::int32_t> requestId = snmp::decodeInteger32(field(snmp::tag::integer, shape.holes[0]));
    const snmp::Decoded<std::uint32_t> ticks = snmp::decodeUnsigned32(field(snmp::tag::timeTicks, shape.holes[1]));
    if (!requestId || !ticks)
        return std::nullopt;
    return upTimeHolds(*ticks);
}

// sysUpTime.0's lines, its binding's (the first) and the header's.
bool DetailsMatcher::upTimeHolds(std::uint32_t ticks)
{
    if (!m_upTimeMayHold)
        return false;
    const snmp::Value value = snmp::TimeTicks{ticks};
    const snmp::Oid& upTime = TrapDetailLines::headerObject(Header::upTime);
    if (m_limits.maxBindings > 0) {
        m_line = m_upTimeBindingStart;
        m_line += m_lines.bindingValue({upTime, value});
        if (holds(m_line))
            return true;
    }
    return holds(m_lines.headerValue(Header::upTime, &value));
}

bool DetailsMatcher::timeStampHolds(std::uint32_t ticks)
{
    if (!m_timeStampMayHold)
        return false;
    m_line.clear();
    TrapDetailLines::appendTimeStamp(m_line, ticks);
    return holds(m_line);
}

// Where a trap's fields that differ from trap to trap lie, read from the
// headers of the fields before them alone, with no check of their
// contents: a v1 trap's time-stamp, or a v2c trap's or inform's request-id
// and its first binding's value. Only a guess: it is worth a look-up
// (which a walk that found the fields there stored), and nothing else, so
// it reads no more than it must.
std::optional<DetailsMatcher::Shape> DetailsMatcher::shapeOf(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() > 0xFFFF)
        return std::nullopt; // no UDP datagram is so long, and the shape's key writes offsets in 2 bytes
    const std::uint8_t* const bytes = datagram.data();
    const std::size_t size = datagram.size();
    std::size_t at = 0;
    // The header at `at`, if it carries `tag`: moves past it (and past its
    // content unless `enter`); its content.
    const auto step = [bytes, size, &at](std::uint8_t tag, bool enter) -> std::optional<Hole> {
        if (size - at < 2 || bytes[at] != tag)
            return std::nullopt;
        std::size_t length = bytes[at + 1];
        at += 2;
        if (length == 0x81 && at < size) {
            length = bytes[at];
            at += 1;
        } else if (length == 0x82 && size - at >= 2) {
            length = std::size_t{bytes[at]} << 8 | bytes[at + 1];
            at += 2;
        } else if (length & 0x80) {
            return std::nullopt;
        }
        if (size - at < length)
            return std::nullopt;
        const Hole content{at, length};
        if (!enter)
            at += length;
        return content;
    };
    using snmp::tag::integer;
    if (!step(snmp::tag::sequence, true) || !step(integer, false) || !step(snmp::tag::octetString, false))
        return std::nullopt;
    if (step(static_cast<std::uint8_t>(snmp::PduType::TrapV1), true)) {
        if (!step(snmp::tag::objectIdentifier, false) || !step(snmp::tag::ipAddress, false) || !step(integer, false)
            || !step(integer, false))
            return std::nullopt;
        const std::optional<Hole> timeStamp = step(snmp::tag::timeTicks, false);
        return timeStamp ? std::optional<Shape>(Shape{false, {*timeStamp, Hole{}}}) : std::nullopt;
    }
    if (!step(static_cast<std::uint8_t>(snmp::PduType::TrapV2), true)
        && !step(static_cast<std::uint8_t>(snmp::PduType::InformRequest), true))
        return std::nullopt;
    const std::optional<Hole> requestId = step(integer, false);
    if (!requestId || !step(integer, false) || !step(integer, false) || !step(snmp::tag::sequence, true)
        || !step(snmp::tag::sequence, true) || !step(snmp::tag::objectIdentifier, false))
        return std::nullopt;
    const std::optional<Hole> upTime = step(snmp::tag::timeTicks, false);
    return upTime ? std::optional<Shape>(Shape{true, {*requestId, *upTime}}) : std::nullopt;
}

// The source address, the datagram less the contents of the fields that
// differ from trap to trap, and where those lay.
void DetailsMatcher::shapeKey(std::span<const std::uint8_t> datagram, const Shape& shape, std::uint32_t source)
{
    // Where the holes lie, then the bytes around them.
    std::array<char, 1 + 4 + 2 * 2 * 2> where{};
    where[0] = shape.v2 ? 'W' : 'V';
    const auto put = [&where](std::size_t at, std::size_t number, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i)
            where[at + i] = static_cast<char>(number >> (8 * (bytes - 1 - i)));
    };
    put(1, source, 4);
    for (std::size_t i = 0; i < shape.holes.size(); ++i) {
        put(5 + 4 * i, shape.holes[i].offset, 2); // shapeOf takes no datagram over 65,535 bytes
        put(7 + 4 * i, shape.holes[i].size, 2);
    }
    m_shapeKey.assign(where.data(), where.size());
    std::size_t from = 0;
    for (const Hole hole : shape.holes) {
        if (hole.size == 0 && hole.offset == 0)
            continue;
        appendBytes(m_shapeKey, datagram.subspan(from, hole.offset - from));
        from = hole.offset + hole.size;
    }
    appendBytes(m_shapeKey, datagram.subspan(from));
}

// The source's line, "From: 10.1.0.3, UDP port 40121": the part before the
// port is looked at once for each address, then only where the needle may
// reach into the port.
const DetailsMatcher::SourceStart& DetailsMatcher::sourceStart(std::uint32_t ipv4, const snmp::InetAddress& source)
{
    if (m_sources.size() >= rememberedSources)
        m_sources.clear();
    auto [entry, added] = m_sources.try_emplace(ipv4);
    SourceStart& start = entry->second;
    if (added) {
        std::string before = TrapDetailLines::ipv4SourceBeforePort(source);
        start.found = holds(before);
        const std::size_t reach = std::min(before.size(), m_needle.size() - 1);
        start.tail = before.substr(before.size() - reach);
    }
    return start;
}

bool DetailsMatcher::portHolds(const SourceStart& start, std::uint16_t port) const
{
    std::array<char, 32> text{};
    const std::size_t tail = std::min(start.tail.size(), text.size() - 5);
    std::copy_n(start.tail.end() - static_cast<std::ptrdiff_t>(tail), tail, text.begin());
    const auto end = std::to_chars(text.data() + tail, text.data() + text.size(), port).ptr;
    return holds(std::string_view(text.data(), static_cast<std::size_t>(end - text.data())));
}

bool DetailsMatcher::wholeTextMatches(const snmp::InetAddress& source, std::uint16_t port,
                                      std::span<const std::uint8_t> datagram) const
{
    ReceivedTrap trap;
    trap.sourceAddress = source;
    trap.sourcePort = port;
    trap.datagram.assign(datagram.begin(), datagram.end());
    return m_needle.foundIn(trapDetailsText(trap, "", m_limits, CommunityShown::asText, m_naming));
}

std::size_t DetailsMatcher::Memory::slotOf(std::string_view key, std::uint64_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& at = m_slots[slot];
        if (at.length == 0
            || (at.hash == hash && std::string_view(m_keys).substr(at.offset, at.length) == key))
            return slot;
    }
}

std::optional<DetailsMatcher::Remembered> DetailsMatcher::Memory::find(std::string_view key) const
{
    if (m_slots.empty())
        return std::nullopt;
    const Slot& slot = m_slots[slotOf(key, XXH3_64bits(key.data(), key.size()))];
    if (slot.length == 0)
        return std::nullopt;
    return slot.remembered;
}

void DetailsMatcher::Memory::add(std::string_view key, Remembered remembered)
{
    if (key.size() > largestRememberedPart)
        return;
    if (m_size >= rememberedParts || m_keys.size() + key.size() > rememberedBytes)
        clear();
    if ((m_size + 1) * 2 > m_slots.size())
        grow();
    const std::uint64_t hash = XXH3_64bits(key.data(), key.size());
    Slot& slot = m_slots[slotOf(key, hash)];
    if (slot.length != 0)
        return;
    slot = {hash, static_cast<std::uint32_t>(m_keys.size()), static_cast<std::uint32_t>(key.size()), remembered};
    m_keys.append(key);
    ++m_size;
}

// Doubles the table (at most half full, so that a probe ends soon).
void DetailsMatcher::Memory::grow()
{
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(std::max<std::size_t>(64, m_slots.size() * 2)));
    for (const Slot& slot : old) {
        if (slot.length != 0)
            m_slots[slotOf(std::string_view(m_keys).substr(slot.offset, slot.length), slot.hash)] = slot;
    }
}

void DetailsMatcher::Memory::clear()
{
    m_slots.clear();
    m_keys.clear();
    m_size = 0;
}

} // namespace brellan
