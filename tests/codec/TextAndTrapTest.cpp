// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator sees: value texts, object identifiers in dotted text,
// and the v1 trap codes of v1 and v2c traps.

#include "CodecTestSupport.h"
#include "TrapInfo.h"

#include <gtest/gtest.h>

namespace brellan::snmp::test {
namespace {

Value octets(Bytes content)
{
    return OctetString{std::move(content)};
}

struct TextCase {
    const char* name;
    Value value;
    std::string text;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << c.name;
}

class ValueTexts : public testing::TestWithParam<TextCase> {};

TEST_P(ValueTexts, ReadAsTheOperatorExpects)
{
    EXPECT_EQ(valueText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Text, ValueTexts,
    testing::Values(
        TextCase{"NegativeInteger", Integer{-2147483647 - 1}, "-2147483648"},
        TextCase{"LargestCounter", Counter{4294967295u}, "4294967295"},
        TextCase{"Gauge", Gauge{1000000000}, "1000000000"},
        TextCase{"TimeTicksDays", TimeTicks{27390607}, "3 days, 04:05:06.07 (27390607)"},
        TextCase{"TimeTicksOneDay", TimeTicks{8640000}, "1 day, 00:00:00.00 (8640000)"},
        TextCase{"TimeTicksZero", TimeTicks{0}, "0 days, 00:00:00.00 (0)"},
        TextCase{"TimeTicksLargest", TimeTicks{4294967295u}, "497 days, 02:27:52.95 (4294967295)"},
        TextCase{"Counter64Largest", Counter64{18446744073709551615u}, "18446744073709551615"},
        TextCase{"ObjectIdentifier", ObjectIdentifier{{1, 3, 6, 1, 4, 1, 8072, 3, 2, 10}}, "1.3.6.1.4.1.8072.3.2.10"},
        TextCase{"IpAddress", IpAddress{{192, 168, 0, 255}}, "192.168.0.255"},
        TextCase{"Null", Null{}, ""},
        TextCase{"PlainText", octets(text("Rack 4, Row B")), "Rack 4, Row B"},
        TextCase{"EmptyText", octets({}), ""},
        TextCase{"Utf8Text", octets(text("K\xC3\xBC" "che \xE2\x82\xAC")), "K\xC3\xBC" "che \xE2\x82\xAC"},
        TextCase{"TabsAndLineBreaksBecomeSpaces", octets(text("a\tb\r\nc")), "a b  c"},
        TextCase{"OneTrailingNulDropped", octets(text(std::string_view("name\0", 5))), "name"},
        TextCase{"TwoTrailingNulsAreBinary", octets(text(std::string_view("ab\0\0", 4))),
                 "61 62 00 00"},
        TextCase{"ControlCharacterIsBinary", octets({0x00, 0x1A, 0xFF}), "00 1A FF"},
        TextCase{"EscapeIsBinary", octets(text("\x1B[2J")), "1B 5B 32 4A"},
        TextCase{"C1ControlIsBinary", octets({0xC2, 0x85}), "C2 85"},
        TextCase{"MacAddressIsBinary", octets({0x00, 0x1B, 0x21, 0x3A, 0x4C, 0x5D}),
                 "00 1B 21 3A 4C 5D"},
        TextCase{"OverlongUtf8IsBinary", octets({0xC0, 0xAF}), "C0 AF"},
        TextCase{"SurrogateIsBinary", octets({0xED, 0xA0, 0x80}), "ED A0 80"},
        TextCase{"CutUtf8IsBinary", octets({0x61, 0xE2, 0x82}), "61 E2 82"},
        // Format characters hide or reorder text: "admin@" RLO "toh.evil"
        // would read "admin@live.hot", zero-width spaces pass a lookalike.
        TextCase{"RightToLeftOverrideIsBinary", octets(text("a@\xE2\x80\xAE" "b")), "61 40 E2 80 AE 62"},
        TextCase{"ZeroWidthSpaceIsBinary", octets(text("tr\xE2\x80\x8B" "ust")), "74 72 E2 80 8B 75 73 74"},
        TextCase{"IsolateIsBinary", octets(text("\xE2\x81\xA6x")), "E2 81 A6 78"},
        TextCase{"ByteOrderMarkIsBinary", octets(text("\xEF\xBB\xBFx")), "EF BB BF 78"},
        TextCase{"TagCharacterIsBinary", octets(text("x\xF3\xA0\x80\x81")), "78 F3 A0 80 81"},
        TextCase{"RightToLeftLettersStayText", octets(text("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D")),
                 "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
        TextCase{"LineSeparatorBecomesASpace", octets(text("a\xE2\x80\xA8" "b")), "a b"},
        TextCase{"Opaque", Opaque{{0x9F, 0x78, 0x04, 0x3F}}, "9F 78 04 3F"},
        TextCase{"NoSuchObject", NoSuchObject{}, "noSuchObject"},
        TextCase{"NoSuchInstance", NoSuchInstance{}, "noSuchInstance"},
        TextCase{"EndOfMibView", EndOfMibView{}, "endOfMibView"}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(OidText, ParsesOnlyStrictDottedDecimal)
{
    EXPECT_EQ(parseOid("1.3.6.1.2.1.1.5.0"), (Oid{1, 3, 6, 1, 2, 1, 1, 5, 0}));
    EXPECT_EQ(parseOid("0.0"), (Oid{0, 0}));
    EXPECT_EQ(parseOid("2.999.4294967295"), (Oid{2, 999, 4294967295u}));
    EXPECT_EQ(parseOid("1.39"), (Oid{1, 39}));
    // The first two arcs travel as one sub-identifier, 80 + Y under arc 2.
    EXPECT_EQ(parseOid("2.4294967215"), (Oid{2, 4294967215u}));

    for (const char* bad : {"", " ", "foo", "1", ".1.3.6", "1.3.6.", "1..3", "1.3 .6", " 1.3", "1.3.-6", "1.+3",
                            "3.1", "1.40", "0.40", "1.3.4294967296", "2.4294967295", "2.4294967216", "1.3.99999999999999999999", "1.3.6x"}) {
        EXPECT_EQ(parseOid(bad), std::nullopt) << '"' << bad << '"';
    }
}

TEST(OidText, LengthIsBoundedAndFormatRoundTrips)
{
    std::string text = "1.3";
    for (std::size_t i = 2; i < maxOidLength; ++i)
        text += ".1";
    const std::optional<Oid> longest = parseOid(text);
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(longest->size(), maxOidLength);
    EXPECT_EQ(formatOid(*longest), text);
    EXPECT_EQ(parseOid(text + ".1"), std::nullopt);
    EXPECT_EQ(formatOid({1, 3, 6, 1, 4, 1, 4294967295u}), "1.3.6.1.4.1.4294967295");
}

// --- Trap codes --------------------------------------------------------------

TEST(TrapCodes, V1TrapsCarryTheirOwnFields)
{
    for (int generic = 0; generic <= 5; ++generic) {
        const Message m = decoded(decodeMessage(corpusFile("v1-trap-generic" + std::to_string(generic) + ".ber")));
        const std::optional<TrapInfo> info = trapInfo(m);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->genericTrap, generic);
        EXPECT_EQ(info->specificTrap, 0);
        EXPECT_EQ(info->agentAddress, (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
    }
    const std::optional<TrapInfo> specific = trapInfo(decoded(decodeMessage(corpusFile("v1-trap-specific.ber"))));
    ASSERT_TRUE(specific.has_value());
    EXPECT_EQ(specific->genericTrap, 6);
    EXPECT_EQ(specific->specificTrap, 17);
    EXPECT_EQ(specific->agentAddress, (std::array<std::uint8_t, 4>{10, 1, 2, 3}));
}

TEST(TrapCodes, V1AgentAddressZeroMeansUnknown)
{
    TrapPdu trap;
    trap.genericTrap = 3;
    const std::optional<TrapInfo> info = trapInfo(Message{versionV1, "public", trap});
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->agentAddress, std::nullopt);
}

TEST(TrapCodes, CapturedV2cTrapsMapToV1Codes)
{
    const std::optional<TrapInfo> cold = trapInfo(decoded(decodeMessage(corpusFile("v2c-trap-coldstart.ber"))));
    ASSERT_TRUE(cold.has_value());
    EXPECT_EQ(cold->genericTrap, 0);
    EXPECT_EQ(cold->specificTrap, 0);
    EXPECT_EQ(cold->agentAddress, std::nullopt);

    const std::optional<TrapInfo> down = trapInfo(decoded(decodeMessage(corpusFile("v2c-trap-linkdown.ber"))));
    ASSERT_TRUE(down.has_value());
    EXPECT_EQ(down->genericTrap, 2);

    // Notification 1.3.6.1.4.1.8072.2.3.0.1 with snmpTrapAddress.0 = 10.9.8.7
    // as its fourth binding.
    const std::optional<TrapInfo> own = trapInfo(decoded(decodeMessage(corpusFile("v2c-trap-enterprise.ber"))));
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->genericTrap, 6);
    EXPECT_EQ(own->specificTrap, 1);
    EXPECT_EQ(own->agentAddress, (std::array<std::uint8_t, 4>{10, 9, 8, 7}));
}

Pdu v2Trap(const Oid& notification)
{
    Pdu trap;
    trap.type = PduType::TrapV2;
    trap.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{1}});
    trap.bindings.push_back({{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ObjectIdentifier{notification}});
    return trap;
}

std::optional<TrapInfo> trapInfo(const Pdu& pdu)
{
    return snmp::trapInfo(Message{versionV2c, "public", pdu});
}

TEST(TrapCodes, V2cMappingEdges)
{
    // Each standard trap, and neighbours that only look like one.
    for (std::uint32_t last = 1; last <= 6; ++last)
        EXPECT_EQ(trapInfo(v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, last}))->genericTrap, static_cast<int>(last) - 1);
    const std::optional<TrapInfo> seventh = trapInfo(v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 7}));
    EXPECT_EQ(seventh->genericTrap, 6);
    EXPECT_EQ(seventh->specificTrap, 7);
    EXPECT_EQ(trapInfo(v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 1, 0}))->genericTrap, 6);

    // A last sub-identifier beyond the v1 range keeps the trap, with the
    // largest specific code v1 can carry (never a negative number).
    const std::optional<TrapInfo> huge = trapInfo(v2Trap({1, 3, 6, 1, 4, 1, 99, 0, 4294967295u}));
    ASSERT_TRUE(huge.has_value());
    EXPECT_EQ(huge->genericTrap, 6);
    EXPECT_EQ(huge->specificTrap, 2147483647);
}

TEST(TrapCodes, NotATrapOrNoTrapOid)
{
    Pdu response = v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 1});
    response.type = PduType::GetResponse;
    EXPECT_EQ(trapInfo(response), std::nullopt);

    Pdu firstOnly = v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 1});
    std::swap(firstOnly.bindings[0], firstOnly.bindings[1]);
    EXPECT_EQ(trapInfo(firstOnly), std::nullopt) << "snmpTrapOID.0 must be the second binding";

    Pdu wrongType = v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 1});
    wrongType.bindings[1].value = Integer{5};
    EXPECT_EQ(trapInfo(wrongType), std::nullopt);

    Pdu bare = v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 1});
    bare.bindings.pop_back();
    EXPECT_EQ(trapInfo(bare), std::nullopt);
}

TEST(TrapCodes, TrapAddressMustBeAnIpAddress)
{
    Pdu m = v2Trap({1, 3, 6, 1, 6, 3, 1, 1, 5, 4});
    m.bindings.push_back({{1, 3, 6, 1, 6, 3, 18, 1, 3, 0}, octets({10, 0, 0, 1})});
    EXPECT_EQ(trapInfo(m)->agentAddress, std::nullopt);
    m.bindings.push_back({{1, 3, 6, 1, 6, 3, 18, 1, 3, 0}, IpAddress{{10, 0, 0, 2}}});
    EXPECT_EQ(trapInfo(m)->agentAddress, (std::array<std::uint8_t, 4>{10, 0, 0, 2}));
}

} // namespace
} // namespace brellan::snmp::test
