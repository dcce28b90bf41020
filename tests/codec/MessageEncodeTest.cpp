// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding: byte-exact against Net-SNMP's own messages, minimal forms, and
// round trips through the decoder.

#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace brellan::snmp::test {
namespace {

TEST(Encode, RequestMatchesNetSnmpByteForByte)
{
    // snmpget -v1 -c mervik <agent> sysDescr.0 with request-id 0x1AF57194.
    const Bytes captured = corpusFile("v1-get-sysdescr-request.ber");
    EXPECT_EQ(encodeRequest(PduType::GetRequest, "mervik", 0x1AF57194, {Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}}), captured);

    const Bytes next = corpusFile("v1-getnext-syscontact-request.ber");
    const Message asked = decoded(decodeMessage(next));
    EXPECT_EQ(encodeRequest(PduType::GetNextRequest, "mervik", std::get<Pdu>(asked.pdu).requestId,
                            {Oid{1, 3, 6, 1, 2, 1, 1, 4, 0}}),
              next);
}

TEST(Encode, EveryCapturedMessageReencodesToItsOwnBytes)
{
    // Net-SNMP writes minimal lengths and integers, as the encoder does, so
    // decoding and encoding any of its messages must give the same bytes.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        const Bytes original = corpusFile(entry.path().filename().string());
        EXPECT_EQ(encodeMessage(decoded(decodeMessage(original))), original) << entry.path();
        ++files;
    }
    EXPECT_GE(files, 20);
}

// One value, and the exact TLV the encoder must write for it.
struct ValueCase {
    const char* name;
    Value value;
    Bytes tlv;
};

void PrintTo(const ValueCase& c, std::ostream* out)
{
    *out << c.name;
}

class ValueEncoding : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueEncoding, IsMinimalAndRoundTrips)
{
    const ValueCase& c = GetParam();
    Pdu response;
    response.type = PduType::GetResponse;
    response.bindings.push_back({Oid{1, 3, 6, 1, 4, 1, 99, 1}, c.value});
    const Message message{versionV1, "mervik", response};
    const Bytes encoded = encodeMessage(message);

    const Bytes expectedEnd = c.tlv;
    ASSERT_GE(encoded.size(), expectedEnd.size());
    EXPECT_EQ(Bytes(encoded.end() - static_cast<std::ptrdiff_t>(expectedEnd.size()), encoded.end()), expectedEnd);
    EXPECT_EQ(decoded(decodeMessage(encoded)), message);
}

const Oid oid2999{2, 999, 3};

INSTANTIATE_TEST_SUITE_P(
    Encode, ValueEncoding,
    testing::Values(
        ValueCase{"IntegerZero", Integer{0}, hex("02 01 00")},
        ValueCase{"Integer127", Integer{127}, hex("02 01 7F")},
        ValueCase{"Integer128", Integer{128}, hex("02 02 00 80")},
        ValueCase{"IntegerMinus128", Integer{-128}, hex("02 01 80")},
        ValueCase{"IntegerMinus129", Integer{-129}, hex("02 02 FF 7F")},
        ValueCase{"IntegerLargest", Integer{std::numeric_limits<std::int32_t>::max()},
                  hex("02 04 7F FF FF FF")},
        ValueCase{"IntegerSmallest", Integer{std::numeric_limits<std::int32_t>::min()},
                  hex("02 04 80 00 00 00")},
        ValueCase{"Counter255", Counter{255}, hex("41 02 00 FF")},
        ValueCase{"GaugeTwoTo31", Gauge{0x80000000u}, hex("42 05 00 80 00 00 00")},
        ValueCase{"LargestCounter", Counter{0xFFFFFFFFu}, hex("41 05 00 FF FF FF FF")},
        ValueCase{"TimeTicks", TimeTicks{27390607}, hex("43 04 01 A1 F2 8F")},
        ValueCase{"Counter64Largest", Counter64{std::numeric_limits<std::uint64_t>::max()},
                  hex("46 09 00 FF FF FF FF FF FF FF FF")},
        ValueCase{"Null", Value{}, hex("05 00")},
        ValueCase{"OctetString127", OctetString{Bytes(127, 'x')}, hex("04 7F") + Bytes(127, 'x')},
        ValueCase{"OctetString128", OctetString{Bytes(128, 'x')}, hex("04 81 80") + Bytes(128, 'x')},
        ValueCase{"OctetString256", OctetString{Bytes(256, 'x')},
                  hex("04 82 01 00") + Bytes(256, 'x')},
        ValueCase{"IpAddress", IpAddress{{192, 168, 1, 20}}, hex("40 04 C0 A8 01 14")},
        ValueCase{"Opaque", Opaque{{0x9F, 0x78, 0x04}}, hex("44 03 9F 78 04")},
        ValueCase{"OidWithLargeSecondArc", ObjectIdentifier{oid2999}, hex("06 03 88 37 03")},
        ValueCase{"OidLargestSubidentifier", ObjectIdentifier{{1, 3, 0xFFFFFFFFu}}, hex("06 06 2B 8F FF FF FF 7F")},
        ValueCase{"NoSuchObject", NoSuchObject{}, hex("80 00")},
        ValueCase{"NoSuchInstance", NoSuchInstance{}, hex("81 00")},
        ValueCase{"EndOfMibView", EndOfMibView{}, hex("82 00")}),
    [](const testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST(Encode, MessagesOfEveryKindRoundTrip)
{
    TrapPdu v1trap;
    v1trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3, 1};
    v1trap.agentAddress = {10, 1, 2, 3};
    v1trap.genericTrap = 6;
    v1trap.specificTrap = -5;
    v1trap.timeStamp = 0xFFFFFFFFu;
    v1trap.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, OctetString{text("x")}});
    const Message trap{versionV1, "public", v1trap};

    Pdu v2pdu;
    v2pdu.type = PduType::TrapV2;
    v2pdu.requestId = std::numeric_limits<std::int32_t>::min();
    v2pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{5}});
    v2pdu.bindings.push_back({{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ObjectIdentifier{{1, 3, 6, 1, 6, 3, 1, 1, 5, 1}}});
    const Message v2trap{versionV2c, "", v2pdu};

    Pdu answer;
    answer.type = PduType::GetResponse;
    answer.requestId = -1;
    answer.errorStatus = 2;
    answer.errorIndex = 1;
    // Enough bindings that the list and the message need long-form lengths.
    for (std::uint32_t i = 0; i < 40; ++i)
        answer.bindings.push_back({{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, i}, Counter{i * 1000}});
    const Message response{versionV1, "", answer};

    for (const Message& message : {trap, v2trap, response}) {
        const Bytes encoded = encodeMessage(message);
        EXPECT_EQ(decoded(decodeMessage(encoded)), message);
    }

    // The outer length, known only after the contents, takes three octets
    // (82 hi lo) placed before them and counts exactly what follows.
    const Bytes encoded = encodeMessage(response);
    ASSERT_GT(encoded.size(), 259u);
    EXPECT_EQ(encoded[0], 0x30);
    EXPECT_EQ(encoded[1], 0x82);
    EXPECT_EQ(std::size_t{encoded[2]} << 8 | encoded[3], encoded.size() - 4);
}

// Values hold exactly their type's range, so none can encode to bytes that
// a decoder rejects: a Counter of -1 does not even compile.
template <typename T>
concept HoldsMinusOne = requires { T{-1}; };
static_assert(HoldsMinusOne<Integer>);
static_assert(!HoldsMinusOne<Counter> && !HoldsMinusOne<Gauge> && !HoldsMinusOne<TimeTicks>
              && !HoldsMinusOne<Counter64>);

TEST(Encode, RefusesAnIdentifierThatBerCannotCarry)
{
    // 2.4294967295 would need a first sub-identifier of 80 + 2^32 - 1.
    for (const Oid& bad : {Oid{2, 4294967295u}, Oid{1}, Oid{3, 1}, Oid{1, 40}}) {
        Pdu request;
        request.bindings.push_back({bad, Null{}});
        EXPECT_THROW(encodeMessage(Message{versionV1, "mervik", request}), std::invalid_argument) << formatOid(bad);
    }
}

} // namespace
} // namespace brellan::snmp::test
