// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one result type of decoding: a value, or the reason it could not be
// decoded and the offset of the byte where that was seen.

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace brellan::snmp {

enum class DecodeError : std::uint8_t {
    Truncated,        // a tag, length or content runs past its container
    LengthOverflow,   // a length field wider than the reader accepts
    IndefiniteLength, // forbidden in SNMP (RFC 3417 section 8)
    UnexpectedTag,    // not the type the grammar wants here
    IntegerTooLarge,  // more content bytes than the type holds (shorter non-minimal forms are tolerated)
    NegativeUnsigned, // the sign bit set on a type that is never negative
    OidTooLong,       // more than maxOidLength sub-identifiers
    SubidTooLarge,    // a sub-identifier over 2^32-1
    PaddedSubidentifier, // a sub-identifier starting with 0x80 (X.690 8.19.2 forbids it)
    NestingTooDeep,
    TrailingBytes,    // content left over inside a container or the datagram
    UnsupportedVersion,
};

// The reason in the operator's words ("a field runs past its end"), as a
// trap's details say it; the log of dropped datagrams and test output say
// it too ("... at byte 12").
constexpr const char* decodeErrorText(DecodeError error)
{
    switch (error) {
    case DecodeError::Truncated: return "a field runs past its end";
    case DecodeError::LengthOverflow: return "a length is too large";
    case DecodeError::IndefiniteLength: return "an indefinite length";
    case DecodeError::UnexpectedTag: return "an unexpected type";
    case DecodeError::IntegerTooLarge: return "an integer too large for its type";
    case DecodeError::NegativeUnsigned: return "a negative unsigned value";
    case DecodeError::OidTooLong: return "an object identifier too long";
    case DecodeError::SubidTooLarge: return "a sub-identifier too large";
    case DecodeError::PaddedSubidentifier: return "a sub-identifier padded with a leading 0x80";
    case DecodeError::NestingTooDeep: return "values nested too deep";
    case DecodeError::TrailingBytes: return "bytes after the end";
    case DecodeError::UnsupportedVersion: return "an unsupported version";
    }
    return "an unknown error";
}

struct DecodeFailure {
    DecodeError reason;
    std::size_t offset;
    bool operator==(const DecodeFailure&) const = default;
};

// Either a decoded T or the failure that stopped it. (Kept as a plain pair
// rather than a std::variant: decoding returns one at every field, and the
// variant's bookkeeping on each move doubled the time of a decode.)
template <typename T>
class [[nodiscard]] Decoded {
public:
    // A value, or anything a T is made from (an OctetString where a Value
    // is wanted), constructed in place.
    template <typename U = T>
        requires(std::is_constructible_v<T, U &&> && !std::is_same_v<std::remove_cvref_t<U>, DecodeFailure>)
    Decoded(U&& value) : m_value(std::forward<U>(value))
    {
    }
    Decoded(DecodeFailure failure) : m_failure(failure), m_ok(false) {}
    // A decoded U where a T made from it is wanted (a TrapPdu where a PDU
    // of either shape is).
    template <typename U>
        requires(!std::is_same_v<T, U> && std::is_constructible_v<T, U &&>)
    Decoded(Decoded<U>&& other)
        : m_value(other.ok() ? T(std::move(*other)) : T()), m_failure(other.failure()), m_ok(other.ok())
    {
    }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }

    T& operator*() & { return m_value; }
    const T& operator*() const& { return m_value; }
    T&& operator*() && { return std::move(m_value); }
    T* operator->() { return &m_value; }
    const T* operator->() const { return &m_value; }

    DecodeFailure failure() const { return m_failure; }

private:
    T m_value{};
    DecodeFailure m_failure{};
    bool m_ok = true;
};

// What a check that yields nothing but success returns.
struct Consumed {};

} // namespace brellan::snmp

// Early return for decoders: evaluates `expression` (a Decoded<T>); on
// failure returns that failure from the enclosing function, otherwise
// moves the value into `target`, which may be a declaration:
//   DECODE_OR_RETURN(const std::int32_t id, pdu.readInteger32());
//   DECODE_OR_RETURN(trap.enterprise, pdu.readOid());
#define BRELLAN_DECODE_CONCAT_(a, b) a##b
#define BRELLAN_DECODE_NAME_(line) BRELLAN_DECODE_CONCAT_(decoded_, line)
#define DECODE_OR_RETURN(target, expression)                         \
    auto BRELLAN_DECODE_NAME_(__LINE__) = (expression);              \
    if (!BRELLAN_DECODE_NAME_(__LINE__))                             \
        return BRELLAN_DECODE_NAME_(__LINE__).failure();             \
    target = std::move(*BRELLAN_DECODE_NAME_(__LINE__))
