#pragma once

// A bounded reader for BER as SNMP uses it (X.690 with the restrictions of
// RFC 3417 section 8: definite lengths only, one-byte tags).
//
// A reader sees exactly the bytes of one container. Entering a constructed
// element gives a new reader narrowed to that element's declared length;
// finish() checks that it was consumed. Lengths are checked here once, so a
// caller never reads past what an element declared, and every failure is a
// value that carries the reason and the offset in the datagram.

#include "Message.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <variant>

namespace brellan::snmp {

// SNMP nests at most five deep (message, PDU, binding list, binding, value);
// anything deeper is hostile.
inline constexpr int maxBerDepth = 8;

// Either a decoded T or the reason it could not be decoded.
template <typename T>
class Parsed {
public:
    Parsed(T value) : m_state(std::move(value)) {}
    Parsed(DecodeFailure failure) : m_state(failure) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    T& operator*() { return std::get<T>(m_state); }
    const T& operator*() const { return std::get<T>(m_state); }
    T* operator->() { return &std::get<T>(m_state); }
    const T* operator->() const { return &std::get<T>(m_state); }
    DecodeFailure failure() const { return std::get<DecodeFailure>(m_state); }

private:
    std::variant<T, DecodeFailure> m_state;
};

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

    bool atEnd() const { return m_position == m_bytes.size(); }
    std::size_t offset() const { return m_base + m_position; }
    // The tag of the next element, if there is one.
    std::optional<std::uint8_t> peekTag() const;

    // The next element, whatever its tag.
    Parsed<BerElement> next();
    // The next element, which must carry `tag` (UnexpectedTag otherwise).
    Parsed<BerElement> expect(std::uint8_t tag);
    // The next element must be constructed with `tag`: a reader over its content.
    Parsed<BerReader> enter(std::uint8_t tag);
    // TrailingBytes when anything is left unread.
    std::optional<DecodeFailure> finish() const;

private:
    BerReader(std::span<const std::uint8_t> bytes, std::size_t base, int depth);
    DecodeFailure failAt(DecodeError reason, std::size_t position) const { return {reason, m_base + position}; }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    std::size_t m_base = 0;
    int m_depth = 0;
};

// Content decoders for primitive elements. Each rejects content wider than
// its type rather than cutting it (IntegerTooLarge).

// INTEGER (-2147483648..2147483647): one to four content bytes, two's complement.
Parsed<std::int32_t> readInteger32(const BerElement& element);
// Counter, Gauge, TimeTicks (0..4294967295): up to five bytes, never negative.
Parsed<std::uint32_t> readUnsigned32(const BerElement& element);
// Counter64 (0..18446744073709551615): up to nine bytes, never negative.
Parsed<std::uint64_t> readUnsigned64(const BerElement& element);
// OBJECT IDENTIFIER: the first byte run holds the first two arcs (X.690 8.19).
Parsed<Oid> readOid(const BerElement& element);

} // namespace brellan::snmp
