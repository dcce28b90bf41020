// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A bounded reader for BER as SNMP uses it (X.690 with the restrictions of
// RFC 3417 section 8: definite lengths only, one-byte tags).
//
// A reader sees exactly the bytes of one container. within() runs a
// function on a reader narrowed to a constructed element's declared length
// and checks, on leaving, that the function consumed it. Lengths are checked
// here once, so a caller never reads past what an element declared, and
// every failure is a value that carries the reason and the offset in the
// datagram.

#include "BerTags.h"
#include "Decoded.h"
#include "Oid.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace brellan::snmp {

// The constructed values a reader may enter, one inside the other. An SNMP
// message needs four (message, PDU, binding list, binding); the rest is
// room, and anything deeper is hostile.
inline constexpr int maxBerDepth = 8;

// One tag-length-value element whose content lies wholly inside its container.
struct BerElement {
    std::uint8_t tag = 0;
    std::span<const std::uint8_t> content;
    std::size_t tagOffset = 0;     // of the tag byte, in the datagram
    std::size_t contentOffset = 0; // of the first content byte, in the datagram
};

class BerReader {
public:
    explicit BerReader(std::span<const std::uint8_t> bytes);
    BerReader() = default; // over no bytes at all

    bool atEnd() const { return m_position == m_bytes.size(); }
    std::size_t offset() const { return m_base + m_position; }
    // The tag of the next element, if there is one.
    std::optional<std::uint8_t> peekTag() const;

    // The next element, whatever its tag.
    Decoded<BerElement> next();
    // The next element, which must carry `tag` (UnexpectedTag otherwise).
    Decoded<BerElement> expect(std::uint8_t tag);

    // The next element as a value of its type; each must carry its tag.
    Decoded<std::int32_t> readInteger32();
    // Counter, Gauge or TimeTicks, as `tag` says.
    Decoded<std::uint32_t> readUnsigned32(std::uint8_t tag);
    // OCTET STRING: its content, which stays valid as long as the datagram.
    Decoded<std::span<const std::uint8_t>> readOctets();
    Decoded<Oid> readOid();
    Decoded<std::array<std::uint8_t, 4>> readIpAddress();

    // The next element must be constructed with `tag`: a reader over its content.
    Decoded<BerReader> enter(std::uint8_t tag);
    // TrailingBytes when anything is left unread.
    Decoded<Consumed> finish() const;
    // Passes over the rest unread, for a caller that knows it from before.
    void skipToEnd() { m_position = m_bytes.size(); }

    // Enters the constructed element `tag`, reads its content with
    // `readContent(BerReader&)` (which returns a Decoded<T>), and fails
    // with TrailingBytes if that left any of the content unread.
    template <typename ReadContent>
    std::invoke_result_t<ReadContent, BerReader&> within(std::uint8_t tag, ReadContent readContent)
    {
        DECODE_OR_RETURN(BerReader&& inner, enter(tag));
        auto result = readContent(inner);
        if (result && !inner.atEnd())
            result = inner.finish().failure();
        return result; // one object returned on every path: never copied

    }

private:
    BerReader(std::span<const std::uint8_t> bytes, std::size_t base, int depth);
    DecodeFailure failAt(DecodeError reason, std::size_t position) const { return {reason, m_base + position}; }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    std::size_t m_base = 0;
    int m_depth = 0;
};

// Content decoders for primitive elements, whatever their tag. Each rejects
// content wider than its type rather than cutting it (IntegerTooLarge).

// INTEGER (-2147483648..2147483647): one to four content bytes, two's complement.
Decoded<std::int32_t> decodeInteger32(const BerElement& element);
// Counter, Gauge, TimeTicks (0..4294967295): up to five bytes, never negative.
Decoded<std::uint32_t> decodeUnsigned32(const BerElement& element);
// Counter64 (0..18446744073709551615): up to nine bytes, never negative.
Decoded<std::uint64_t> decodeUnsigned64(const BerElement& element);
// OBJECT IDENTIFIER: the first byte run holds the first two arcs (X.690 8.19).
Decoded<Oid> decodeOid(const BerElement& element);
// IpAddress ::= [APPLICATION 0] IMPLICIT OCTET STRING (SIZE (4))
Decoded<std::array<std::uint8_t, 4>> decodeIpAddress(const BerElement& element);

} // namespace brellan::snmp
