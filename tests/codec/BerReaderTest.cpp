// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded reader and the primitive decoders on named edge cases.

#include "BerReader.h"
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace brellan::snmp::test {
namespace {

// What a case expects: a decoded number or identifier, or a failure.
template <typename T>
struct Case {
    const char* name;
    Bytes element; // one whole TLV
    std::variant<T, DecodeFailure> expected;
};

template <typename T>
std::string caseName(const testing::TestParamInfo<Case<T>>& info)
{
    return info.param.name;
}

template <typename T, typename Read>
void checkCase(const Case<T>& c, Read read)
{
    BerReader reader(c.element);
    const Decoded<BerElement> element = reader.next();
    ASSERT_TRUE(element.ok()) << "the test element itself is malformed";
    const auto result = read(*element);
    if (const T* value = std::get_if<T>(&c.expected)) {
        ASSERT_TRUE(result.ok()) << testing::PrintToString(result.failure());
        EXPECT_EQ(*result, *value);
    } else {
        ASSERT_FALSE(result.ok()) << "decoded a value that must be rejected";
        EXPECT_EQ(result.failure(), std::get<DecodeFailure>(c.expected));
    }
}

DecodeFailure fail(DecodeError reason, std::size_t offset)
{
    return {reason, offset};
}

// --- Lengths -------------------------------------------------------------

struct LengthCase {
    const char* name;
    Bytes datagram;
    std::variant<std::size_t, DecodeFailure> expected; // content size
};

class Lengths : public testing::TestWithParam<LengthCase> {};

TEST_P(Lengths, ReadsOrRejects)
{
    const LengthCase& c = GetParam();
    BerReader reader(c.datagram);
    const Decoded<BerElement> element = reader.next();
    if (const auto* size = std::get_if<std::size_t>(&c.expected)) {
        ASSERT_TRUE(element.ok()) << testing::PrintToString(element.failure());
        EXPECT_EQ(element->content.size(), *size);
        EXPECT_TRUE(reader.atEnd());
    } else {
        ASSERT_FALSE(element.ok());
        EXPECT_EQ(element.failure(), std::get<DecodeFailure>(c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ber, Lengths,
    testing::Values(
        LengthCase{"Empty", {}, fail(DecodeError::Truncated, 0)},
        LengthCase{"TagOnly", hex("04"), fail(DecodeError::Truncated, 1)},
        LengthCase{"ShortForm127", hex("04 7F") + Bytes(127, 'a'), std::size_t{127}},
        LengthCase{"LongForm128", hex("04 81 80") + Bytes(128, 'a'), std::size_t{128}},
        LengthCase{"LongForm256", hex("04 82 01 00") + Bytes(256, 'a'), std::size_t{256}},
        LengthCase{"NonMinimalLongFormAccepted", hex("04 82 00 05 61 62 63 64 65"), std::size_t{5}},
        LengthCase{"FourLengthBytes", hex("04 84 00 00 00 01 61"), std::size_t{1}},
        LengthCase{"Indefinite", hex("30 80 05 00 00 00"), fail(DecodeError::IndefiniteLength, 1)},
        LengthCase{"FiveLengthBytes", hex("04 85 00 00 00 00 01 61"), fail(DecodeError::LengthOverflow, 1)},
        LengthCase{"ReservedLengthByte", hex("04 FF"), fail(DecodeError::LengthOverflow, 1)},
        LengthCase{"LengthBytesCutShort", hex("04 82 01"), fail(DecodeError::Truncated, 2)},
        LengthCase{"ContentPastTheEnd", hex("04 05 61 62"), fail(DecodeError::Truncated, 1)},
        LengthCase{"HugeLengthPastTheEnd", hex("04 84 FF FF FF FF 61"), fail(DecodeError::Truncated, 1)},
        LengthCase{"MultiByteTag", hex("1F 01 00"), fail(DecodeError::UnexpectedTag, 0)}),
    [](const testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

// --- INTEGER -------------------------------------------------------------

class Integers : public testing::TestWithParam<Case<std::int32_t>> {};

TEST_P(Integers, DecodeOrReject)
{
    checkCase(GetParam(), decodeInteger32);
}

INSTANTIATE_TEST_SUITE_P(
    Ber, Integers,
    testing::Values(
        Case<std::int32_t>{"Zero", hex("02 01 00"), 0},
        Case<std::int32_t>{"NegativeOne", hex("02 01 FF"), -1},
        Case<std::int32_t>{"Negative129", hex("02 02 FF 7F"), -129},
        Case<std::int32_t>{"Positive128NeedsLeadingZero", hex("02 02 00 80"), 128},
        Case<std::int32_t>{"Largest", hex("02 04 7F FF FF FF"), std::numeric_limits<std::int32_t>::max()},
        Case<std::int32_t>{"Smallest", hex("02 04 80 00 00 00"), std::numeric_limits<std::int32_t>::min()},
        Case<std::int32_t>{"NonMinimalButFits", hex("02 03 00 00 05"), 5},
        Case<std::int32_t>{"FiveBytes", hex("02 05 00 80 00 00 00"), fail(DecodeError::IntegerTooLarge, 2)},
        Case<std::int32_t>{"FiveBytesOfSign", hex("02 05 FF FF FF FF FF"), fail(DecodeError::IntegerTooLarge, 2)},
        Case<std::int32_t>{"NoContent", hex("02 00"), fail(DecodeError::Truncated, 2)}),
    caseName<std::int32_t>);

// --- Counter, Gauge, TimeTicks ---------------------------------------------

class Unsigned32 : public testing::TestWithParam<Case<std::uint32_t>> {};

TEST_P(Unsigned32, DecodeOrReject)
{
    checkCase(GetParam(), decodeUnsigned32);
}

INSTANTIATE_TEST_SUITE_P(
    Ber, Unsigned32,
    testing::Values(
        Case<std::uint32_t>{"Zero", hex("41 01 00"), 0u},
        Case<std::uint32_t>{"TwoTo31", hex("42 05 00 80 00 00 00"), 0x80000000u},
        Case<std::uint32_t>{"LargestCounter", hex("41 05 00 FF FF FF FF"), 0xFFFFFFFFu},
        Case<std::uint32_t>{"TwoTo32", hex("41 05 01 00 00 00 00"), fail(DecodeError::IntegerTooLarge, 2)},
        Case<std::uint32_t>{"NegativeLooking", hex("43 01 80"), fail(DecodeError::NegativeUnsigned, 2)},
        Case<std::uint32_t>{"FourBytesWithSignBit", hex("41 04 FF FF FF FF"), fail(DecodeError::NegativeUnsigned, 2)},
        Case<std::uint32_t>{"SixBytes", hex("41 06 00 00 FF FF FF FF"), fail(DecodeError::IntegerTooLarge, 2)},
        Case<std::uint32_t>{"NoContent", hex("43 00"), fail(DecodeError::Truncated, 2)}),
    caseName<std::uint32_t>);

// --- Counter64 -------------------------------------------------------------

class Unsigned64 : public testing::TestWithParam<Case<std::uint64_t>> {};

TEST_P(Unsigned64, DecodeOrReject)
{
    checkCase(GetParam(), decodeUnsigned64);
}

INSTANTIATE_TEST_SUITE_P(
    Ber, Unsigned64,
    testing::Values(
        Case<std::uint64_t>{"TwoTo32", hex("46 05 01 00 00 00 00"), std::uint64_t{1} << 32},
        Case<std::uint64_t>{"Largest", hex("46 09 00 FF FF FF FF FF FF FF FF"),
                            std::numeric_limits<std::uint64_t>::max()},
        Case<std::uint64_t>{"TwoTo64", hex("46 09 01 00 00 00 00 00 00 00 00"),
                            fail(DecodeError::IntegerTooLarge, 2)},
        Case<std::uint64_t>{"TenBytes", hex("46 0A 00 00 FF FF FF FF FF FF FF FF"),
                            fail(DecodeError::IntegerTooLarge, 2)},
        Case<std::uint64_t>{"NegativeLooking", hex("46 08 FF FF FF FF FF FF FF FF"),
                            fail(DecodeError::NegativeUnsigned, 2)}),
    caseName<std::uint64_t>);

// --- OBJECT IDENTIFIER -----------------------------------------------------

Bytes oidOfLength(std::size_t subidentifiers)
{
    // 1.3 in one byte, then 1s.
    return tlv(0x06, Bytes{0x2B} + Bytes(subidentifiers - 2, 0x01));
}

Oid longOid(std::size_t subidentifiers)
{
    Oid oid(subidentifiers, 1);
    oid[1] = 3;
    return oid;
}

class Oids : public testing::TestWithParam<Case<Oid>> {};

TEST_P(Oids, DecodeOrReject)
{
    checkCase(GetParam(), decodeOid);
}

INSTANTIATE_TEST_SUITE_P(
    Ber, Oids,
    testing::Values(
        Case<Oid>{"SysDescr", hex("06 08 2B 06 01 02 01 01 01 00"), Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}},
        Case<Oid>{"MultiByteSubidentifier", hex("06 07 2B 06 01 04 01 BF 08"), Oid{1, 3, 6, 1, 4, 1, 8072}},
        Case<Oid>{"FirstArcTwo", hex("06 03 88 37 03"), Oid{2, 999, 3}},
        Case<Oid>{"ZeroZero", hex("06 01 00"), Oid{0, 0}},
        Case<Oid>{"LargestSubidentifier", hex("06 06 2B 8F FF FF FF 7F"), Oid{1, 3, 0xFFFFFFFFu}},
        Case<Oid>{"SubidentifierTwoTo32", hex("06 06 2B 90 80 80 80 00"), fail(DecodeError::SubidTooLarge, 3)},
        Case<Oid>{"TruncatedMultiByteSubidentifier", hex("06 03 2B 06 81"), fail(DecodeError::Truncated, 5)},
        // 1.3.1 with its last sub-identifier padded: X.690 8.19.2 forbids it.
        Case<Oid>{"PaddedSubidentifier", hex("06 04 2B 80 80 01"), fail(DecodeError::PaddedSubidentifier, 3)},
        Case<Oid>{"Empty", hex("06 00"), fail(DecodeError::Truncated, 2)},
        Case<Oid>{"Longest", oidOfLength(maxOidLength), longOid(maxOidLength)},
        Case<Oid>{"OneTooLong", oidOfLength(maxOidLength + 1), fail(DecodeError::OidTooLong, 3 + 127)}),
    caseName<Oid>);

// --- Containers ------------------------------------------------------------

Bytes nested(int depth)
{
    Bytes inner = hex("05 00");
    for (int i = 0; i < depth; ++i)
        inner = tlv(0x30, inner);
    return inner;
}

int enterAll(BerReader reader, DecodeFailure& failure)
{
    int depth = 0;
    while (reader.peekTag() == std::uint8_t{0x30}) {
        Decoded<BerReader> inner = reader.enter(0x30);
        if (!inner.ok()) {
            failure = inner.failure();
            return depth;
        }
        reader = *inner;
        ++depth;
    }
    return depth;
}

TEST(BerContainers, NestingIsBounded)
{
    DecodeFailure failure{};
    EXPECT_EQ(enterAll(BerReader(nested(maxBerDepth)), failure), maxBerDepth);

    const Bytes tooDeep = nested(maxBerDepth + 1);
    EXPECT_EQ(enterAll(BerReader(tooDeep), failure), maxBerDepth);
    EXPECT_EQ(failure.reason, DecodeError::NestingTooDeep);
    // Each level adds a two-byte header: the refused one starts right after.
    EXPECT_EQ(failure.offset, std::size_t{2} * maxBerDepth);
}

TEST(BerContainers, EnteringNarrowsToTheDeclaredLength)
{
    // A SEQUENCE of three bytes followed by an INTEGER outside it.
    const Bytes bytes = hex("30 03 02 01 05 02 01 06");
    BerReader outer(bytes);
    Decoded<BerReader> inner = outer.enter(0x30);
    ASSERT_TRUE(inner.ok());
    ASSERT_TRUE(inner->expect(0x02).ok());
    EXPECT_TRUE(inner->atEnd()) << "the inner reader must not see the outer INTEGER";
    EXPECT_FALSE(inner->next().ok());
    EXPECT_EQ(outer.offset(), 5u);
    EXPECT_EQ(outer.finish().failure(), (DecodeFailure{DecodeError::TrailingBytes, 5}));
}

TEST(BerContainers, ContentLongerThanItsContainerIsTruncated)
{
    // The SEQUENCE says 3 bytes; its INTEGER claims 4 of them.
    const Bytes bytes = hex("30 03 02 04 05 06 07 08");
    BerReader outer(bytes);
    Decoded<BerReader> inner = outer.enter(0x30);
    ASSERT_TRUE(inner.ok());
    const Decoded<BerElement> element = inner->next();
    ASSERT_FALSE(element.ok());
    EXPECT_EQ(element.failure(), (DecodeFailure{DecodeError::Truncated, 3}));
}

TEST(BerContainers, WrongTagIsReportedAtTheTag)
{
    const Bytes bytes = hex("02 01 05");
    BerReader reader(bytes);
    EXPECT_EQ(reader.enter(0x30).failure(), (DecodeFailure{DecodeError::UnexpectedTag, 0}));
    EXPECT_EQ(reader.expect(0x04).failure(), (DecodeFailure{DecodeError::UnexpectedTag, 0}));
    EXPECT_TRUE(reader.expect(0x02).ok());
}

} // namespace
} // namespace brellan::snmp::test
