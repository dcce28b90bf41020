// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The values a variable binding carries, one small type per syntax, so a
// value always holds exactly what its syntax allows (RFC 1155, RFC 2578 and
// the exception values of RFC 3416).

#include "BerTags.h"
#include "Oid.h"

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace brellan::snmp {

using Octets = std::vector<std::uint8_t>;

struct Null {
    bool operator==(const Null&) const = default;
};
struct Integer {
    std::int32_t value = 0;
    bool operator==(const Integer&) const = default;
};
struct OctetString {
    Octets bytes;
    bool operator==(const OctetString&) const = default;
};
struct ObjectIdentifier {
    Oid oid;
    bool operator==(const ObjectIdentifier&) const = default;
};
struct IpAddress {
    std::array<std::uint8_t, 4> octets{};
    bool operator==(const IpAddress&) const = default;
};
struct Counter {
    std::uint32_t value = 0;
    bool operator==(const Counter&) const = default;
};
struct Gauge {
    std::uint32_t value = 0;
    bool operator==(const Gauge&) const = default;
};
struct TimeTicks {
    std::uint32_t value = 0; // hundredths of a second
    bool operator==(const TimeTicks&) const = default;
};
// Opaque, and the application types this station does not know, kept as
// their content octets and the tag they came with.
struct Opaque {
    Octets bytes;
    std::uint8_t berTag = tag::opaque;
    bool operator==(const Opaque&) const = default;
};
struct Counter64 {
    std::uint64_t value = 0;
    bool operator==(const Counter64&) const = default;
};
struct NoSuchObject {
    bool operator==(const NoSuchObject&) const = default;
};
struct NoSuchInstance {
    bool operator==(const NoSuchInstance&) const = default;
};
struct EndOfMibView {
    bool operator==(const EndOfMibView&) const = default;
};

// A default Value is NULL, the value every request binding carries.
using Value = std::variant<Null, Integer, OctetString, ObjectIdentifier, IpAddress, Counter, Gauge, TimeTicks,
                           Opaque, Counter64, NoSuchObject, NoSuchInstance, EndOfMibView>;

// The text an operator sees for a value (VarValue): see valueText's comment
// in ValueText.cpp for each syntax.
std::string valueText(const Value& value);
// valueText of TimeTicks, appended to `text`.
void appendTimeTicksText(std::string& text, std::uint32_t ticks);

// A value as its type and its text, apart, in the form Net-SNMP's tools
// print ("STRING" and "eth1", "Hex-STRING" and "80", "INTEGER" and "2"), so
// that no value can pass for one of another type: see typedValueText's
// comment in ValueText.cpp. Quoted text is escaped (\" \\ \n \r \t) and
// holds no line break; the caller adds the quotes.
struct TypedValueText {
    std::string type;
    std::string text; // empty for NULL and the exception values
    bool quoted = false;
};
TypedValueText typedValueText(const Value& value);

} // namespace brellan::snmp
