// SPDX-License-Identifier: GPL-3.0-or-later
#include "BerReader.h"

#include <algorithm>

namespace brellan::snmp {

namespace {

constexpr std::uint8_t highTagNumber = 0x1F;
constexpr std::uint8_t longLengthBit = 0x80;
constexpr std::size_t maxLengthBytes = 4;

// Reads an unsigned big-endian number of at most `maxBytes` content bytes,
// where `maxBytes` counts the leading zero byte that keeps the sign bit of
// the largest values clear. Shared by the 32- and 64-bit unsigned types.
Decoded<std::uint64_t> decodeUnsigned(const BerElement& element, std::size_t maxBytes)
{
    const std::span<const std::uint8_t> content = element.content;
    if (content.empty())
        return DecodeFailure{DecodeError::Truncated, element.contentOffset};
    // A set sign bit makes the two's complement value negative (X.690 8.3.3),
    // which no unsigned type can hold.
    if ((content[0] & 0x80) != 0)
        return DecodeFailure{DecodeError::NegativeUnsigned, element.contentOffset};
    // All maxBytes bytes are allowed only when the first is that zero.
    if (content.size() > maxBytes || (content.size() == maxBytes && content[0] != 0))
        return DecodeFailure{DecodeError::IntegerTooLarge, element.contentOffset};
    std::uint64_t value = 0;
    for (const std::uint8_t byte : content)
        value = (value << 8) | byte;
    return value;
}

} // namespace

BerReader::BerReader(std::span<const std::uint8_t> bytes) : BerReader(bytes, 0, 0) {}

BerReader::BerReader(std::span<const std::uint8_t> bytes, std::size_t base, int depth)
    : m_bytes(bytes), m_base(base), m_depth(depth)
{
}

// X.690 8.1.2 and 8.1.3: identifier octet, then a short (one byte) or long
// form length. Indefinite lengths are forbidden by RFC 3417 section 8.
// Non-minimal long forms (0x82 0x00 0x05) are accepted: some agents send them.
Decoded<BerElement> BerReader::next()
{
    BerElement element;
    element.tagOffset = offset();
    std::size_t position = m_position;
    if (position >= m_bytes.size())
        return failAt(DecodeError::Truncated, position);
    element.tag = m_bytes[position++];
    // SNMP only uses tag numbers below 31; the multi-byte tag form never occurs.
    if ((element.tag & highTagNumber) == highTagNumber)
        return failAt(DecodeError::UnexpectedTag, position - 1);

    if (position >= m_bytes.size())
        return failAt(DecodeError::Truncated, position);
    const std::size_t lengthOffset = position;
    const std::uint8_t first = m_bytes[position++];
    std::size_t length = first;
    if ((first & longLengthBit) != 0) {
        const std::size_t count = first & 0x7F;
        if (count == 0)
            return failAt(DecodeError::IndefiniteLength, lengthOffset);
        if (count > maxLengthBytes)
            return failAt(DecodeError::LengthOverflow, lengthOffset);
        if (m_bytes.size() - position < count)
            return failAt(DecodeError::Truncated, position);
        length = 0;
        for (std::size_t i = 0; i < count; ++i)
            length = (length << 8) | m_bytes[position++];
    }
    if (m_bytes.size() - position < length)
        return failAt(DecodeError::Truncated, lengthOffset);

    element.contentOffset = m_base + position;
    element.content = m_bytes.subspan(position, length);
    m_position = position + length;
    return element;
}

std::optional<std::uint8_t> BerReader::peekTag() const
{
    if (atEnd())
        return std::nullopt;
    return m_bytes[m_position];
}

Decoded<BerElement> BerReader::expect(std::uint8_t tag)
{
    if (m_position < m_bytes.size() && m_bytes[m_position] != tag)
        return failAt(DecodeError::UnexpectedTag, m_position);
    return next();
}

Decoded<std::int32_t> BerReader::readInteger32()
{
    DECODE_OR_RETURN(const BerElement& element, expect(tag::integer));
    return decodeInteger32(element);
}

Decoded<std::uint32_t> BerReader::readUnsigned32(std::uint8_t tag)
{
    DECODE_OR_RETURN(const BerElement& element, expect(tag));
    return decodeUnsigned32(element);
}

Decoded<std::span<const std::uint8_t>> BerReader::readOctets()
{
    DECODE_OR_RETURN(const BerElement& element, expect(tag::octetString));
    return element.content;
}

Decoded<Oid> BerReader::readOid()
{
    DECODE_OR_RETURN(const BerElement& element, expect(tag::objectIdentifier));
    return decodeOid(element);
}

Decoded<std::array<std::uint8_t, 4>> BerReader::readIpAddress()
{
    DECODE_OR_RETURN(const BerElement& element, expect(tag::ipAddress));
    return decodeIpAddress(element);
}

Decoded<BerReader> BerReader::enter(std::uint8_t tag)
{
    if (m_depth + 1 > maxBerDepth)
        return failAt(DecodeError::NestingTooDeep, m_position);
    DECODE_OR_RETURN(const BerElement& element, expect(tag));
    return BerReader(element.content, element.contentOffset, m_depth + 1);
}

Decoded<Consumed> BerReader::finish() const
{
    if (!atEnd())
        return failAt(DecodeError::TrailingBytes, m_position);
    return Consumed{};
}

// INTEGER: X.690 8.3, two's complement, big-endian. Non-minimal forms of up
// to four bytes (02 03 00 00 05) are tolerated, as some agents send them;
// a fifth byte never fits the SNMP range.
Decoded<std::int32_t> decodeInteger32(const BerElement& element)
{
    const std::span<const std::uint8_t> content = element.content;
    if (content.empty())
        return DecodeFailure{DecodeError::Truncated, element.contentOffset};
    if (content.size() > 4)
        return DecodeFailure{DecodeError::IntegerTooLarge, element.contentOffset};
    // Sign-extend from the first byte, then shift the rest in unsigned.
    std::uint32_t value = (content[0] & 0x80) != 0 ? 0xFFFFFFFFu : 0u;
    for (const std::uint8_t byte : content)
        value = (value << 8) | byte;
    return static_cast<std::int32_t>(value);
}

Decoded<std::uint32_t> decodeUnsigned32(const BerElement& element)
{
    DECODE_OR_RETURN(const std::uint64_t value, decodeUnsigned(element, 5));
    if (value > 0xFFFFFFFFu)
        return DecodeFailure{DecodeError::IntegerTooLarge, element.contentOffset};
    return static_cast<std::uint32_t>(value);
}

Decoded<std::uint64_t> decodeUnsigned64(const BerElement& element)
{
    return decodeUnsigned(element, 9);
}

// OBJECT IDENTIFIER: X.690 8.19. Each sub-identifier is base 128, high bit
// set on every byte but its last. The first one packs the first two arcs as
// 40 * X + Y.
Decoded<Oid> decodeOid(const BerElement& element)
{
    const std::span<const std::uint8_t> content = element.content;
    if (content.empty())
        return DecodeFailure{DecodeError::Truncated, element.contentOffset};
    Oid oid;
    oid.reserve(16);
    std::uint32_t value = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        // X.690 8.19.2: a sub-identifier is encoded in the fewest bytes, so
        // none starts with 0x80 (06 04 2B 80 80 01 would read as 1.3.1).
        if (i == start && content[i] == 0x80)
            return DecodeFailure{DecodeError::PaddedSubidentifier, element.contentOffset + i};
        if (value > (0xFFFFFFFFu >> 7))
            return DecodeFailure{DecodeError::SubidTooLarge, element.contentOffset + start};
        value = (value << 7) | (content[i] & 0x7F);
        if ((content[i] & 0x80) != 0)
            continue;
        if (oid.empty()) {
            const std::uint32_t first = value < 40 ? 0 : value < 80 ? 1 : 2;
            oid.push_back(first);
            oid.push_back(value - first * 40);
        } else {
            if (oid.size() >= maxOidLength)
                return DecodeFailure{DecodeError::OidTooLong, element.contentOffset + start};
            oid.push_back(value);
        }
        value = 0;
        start = i + 1;
    }
    // The last byte still had its continuation bit set.
    if (start != content.size())
        return DecodeFailure{DecodeError::Truncated, element.contentOffset + content.size()};
    return oid;
}

Decoded<std::array<std::uint8_t, 4>> decodeIpAddress(const BerElement& element)
{
    const std::size_t size = element.content.size();
    if (size < 4)
        return DecodeFailure{DecodeError::Truncated, element.contentOffset + size};
    if (size > 4)
        return DecodeFailure{DecodeError::TrailingBytes, element.contentOffset + 4};
    std::array<std::uint8_t, 4> address{};
    std::copy(element.content.begin(), element.content.end(), address.begin());
    return address;
}

} // namespace brellan::snmp
