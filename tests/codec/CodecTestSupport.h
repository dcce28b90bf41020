// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for codec tests: bytes from annotated hex, small BER builders for
// hand-made packets, and the captured Net-SNMP datagrams.

#include "Message.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brellan::snmp {

// Readable failures in test output (found by argument-dependent lookup).
inline void PrintTo(DecodeError error, std::ostream* out)
{
    *out << decodeErrorText(error);
}

inline void PrintTo(const DecodeFailure& failure, std::ostream* out)
{
    *out << decodeErrorText(failure.reason) << " at " << failure.offset;
}

} // namespace brellan::snmp

namespace brellan::snmp::test {

using Bytes = std::vector<std::uint8_t>;

// Hex digits; spaces, line breaks and "// ..." comments up to the end of the
// line are ignored, so fixtures can say what each field is.
inline Bytes hex(std::string_view text)
{
    Bytes bytes;
    int high = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            i = text.find('\n', i);
            if (i == std::string_view::npos)
                break;
            continue;
        }
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return bytes;
}

inline Bytes operator+(Bytes left, const Bytes& right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

// Tag, minimal length, content.
inline Bytes tlv(std::uint8_t tag, const Bytes& content)
{
    Bytes out{tag};
    const std::size_t size = content.size();
    if (size < 0x80) {
        out.push_back(static_cast<std::uint8_t>(size));
    } else if (size < 0x100) {
        out.insert(out.end(), {0x81, static_cast<std::uint8_t>(size)});
    } else {
        out.insert(out.end(), {0x82, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes seq(std::initializer_list<Bytes> parts)
{
    return tlv(0x30, concat(parts));
}

inline Bytes text(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

// A message around one binding `name = value` (both already encoded).
inline Bytes getResponseWith(const Bytes& name, const Bytes& value, std::uint8_t version = 0)
{
    return seq({hex("02 01") + Bytes{version}, tlv(0x04, text("mervik")),
                tlv(0xA2, concat({hex("02 01 07 02 01 00 02 01 00"), seq({seq({name, value})})}))});
}

inline std::filesystem::path corpusDir()
{
    return BRELLAN_CORPUS_DIR;
}

inline Bytes corpusFile(const std::string& name)
{
    std::ifstream in(corpusDir() / name, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing corpus file " + name);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline Message decoded(const Decoded<Message>& result)
{
    if (!result) {
        throw std::runtime_error("decode failed: " + std::string(decodeErrorText(result.failure().reason)) + " at "
                                 + std::to_string(result.failure().offset));
    }
    return *result;
}

} // namespace brellan::snmp::test
