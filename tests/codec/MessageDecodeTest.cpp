// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding whole datagrams: annotated captures from Net-SNMP, and packets
// that must be dropped with the rule that fired and where.

#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace brellan::snmp::test {
namespace {

const Oid sysUpTime{1, 3, 6, 1, 2, 1, 1, 3, 0};
const Oid sysObjectId{1, 3, 6, 1, 2, 1, 1, 2, 0};
const Oid sysName{1, 3, 6, 1, 2, 1, 1, 5, 0};

// snmpget -v1 -c mervik <agent> sysUpTime.0 sysObjectID.0 sysName.0,
// the answer of Net-SNMP's snmpd (fuzz/corpus/v1-get-several-response.ber).
const Bytes getResponse = hex(R"(
    30 5D                                   // Message SEQUENCE, 93 bytes
       02 01 00                             // version: 0 (version-1)
       04 06 6D 65 72 76 69 6B              // community: "mervik"
       A2 50                                // GetResponse-PDU, 80 bytes
          02 04 4A 2E 52 B9                 // request-id: 1244549817
          02 01 00                          // error-status: noError
          02 01 00                          // error-index: 0
          30 42                             // variable-bindings, 66 bytes
             30 0E                          // VarBind
                06 08 2B 06 01 02 01 01 03 00          // sysUpTime.0
                43 02 00 96                            // TimeTicks 150
             30 16                          // VarBind
                06 08 2B 06 01 02 01 01 02 00          // sysObjectID.0
                06 0A 2B 06 01 04 01 BF 08 03 02 0A    // 1.3.6.1.4.1.8072.3.2.10
             30 18                          // VarBind
                06 08 2B 06 01 02 01 01 05 00          // sysName.0
                04 0C 63 6F 72 70 75 73 2D 61 67 65 6E 74  // "corpus-agent"
)");

// snmptrap -v1 -c public <receiver> 1.3.6.1.4.1.8072.2.3.1 10.1.2.3 6 17 ''
//     sysName.0 s corpus-agent ifIndex.2 i 2
// (fuzz/corpus/v1-trap-specific.ber).
const Bytes v1Trap = hex(R"(
    30 57                                   // Message SEQUENCE, 87 bytes
       02 01 00                             // version: 0
       04 06 70 75 62 6C 69 63              // community: "public"
       A4 4A                                // Trap-PDU, 74 bytes
          06 0A 2B 06 01 04 01 BF 08 02 03 01  // enterprise: 1.3.6.1.4.1.8072.2.3.1
          40 04 0A 01 02 03                 // agent-addr: 10.1.2.3
          02 01 06                          // generic-trap: enterpriseSpecific
          02 01 11                          // specific-trap: 17
          43 03 10 0E 66                    // time-stamp: 1052262
          30 2B                             // variable-bindings, 43 bytes
             30 18                          // VarBind
                06 08 2B 06 01 02 01 01 05 00          // sysName.0
                04 0C 63 6F 72 70 75 73 2D 61 67 65 6E 74  // "corpus-agent"
             30 0F                          // VarBind
                06 0A 2B 06 01 02 01 02 02 01 01 02    // ifIndex.2
                02 01 02                               // INTEGER 2
)");

TEST(DecodeCaptured, GetResponseFields)
{
    ASSERT_EQ(getResponse, corpusFile("v1-get-several-response.ber")) << "the fixture is the capture";
    const Message m = decoded(decodeMessage(getResponse));
    EXPECT_EQ(m.version, versionV1);
    EXPECT_EQ(m.community, "mervik");
    ASSERT_EQ(m.type(), PduType::GetResponse);
    const Pdu& pdu = std::get<Pdu>(m.pdu);
    EXPECT_EQ(pdu.requestId, 1244549817);
    EXPECT_EQ(pdu.errorStatus, 0);
    EXPECT_EQ(pdu.errorIndex, 0);
    ASSERT_EQ(pdu.bindings.size(), 3u);
    EXPECT_EQ(pdu.bindings[0].oid, sysUpTime);
    EXPECT_EQ(pdu.bindings[0].value, Value{TimeTicks{150}});
    EXPECT_EQ(pdu.bindings[1].oid, sysObjectId);
    EXPECT_EQ(pdu.bindings[1].value, (Value{ObjectIdentifier{{1, 3, 6, 1, 4, 1, 8072, 3, 2, 10}}}));
    EXPECT_EQ(pdu.bindings[2].oid, sysName);
    EXPECT_EQ(pdu.bindings[2].value, Value{OctetString{text("corpus-agent")}});
}

TEST(DecodeCaptured, V1TrapFields)
{
    ASSERT_EQ(v1Trap, corpusFile("v1-trap-specific.ber")) << "the fixture is the capture";
    const Message m = decoded(decodeMessage(v1Trap));
    EXPECT_EQ(m.version, versionV1);
    EXPECT_EQ(m.community, "public");
    ASSERT_EQ(m.type(), PduType::TrapV1);
    const TrapPdu& trap = std::get<TrapPdu>(m.pdu);
    EXPECT_EQ(trap.enterprise, (Oid{1, 3, 6, 1, 4, 1, 8072, 2, 3, 1}));
    EXPECT_EQ(trap.agentAddress, (std::array<std::uint8_t, 4>{10, 1, 2, 3}));
    EXPECT_EQ(trap.genericTrap, 6);
    EXPECT_EQ(trap.specificTrap, 17);
    EXPECT_EQ(trap.timeStamp, 1052262u);
    ASSERT_EQ(trap.bindings.size(), 2u);
    EXPECT_EQ(trap.bindings[0].oid, sysName);
    EXPECT_EQ(trap.bindings[1].value, Value{Integer{2}});
}

TEST(DecodeCaptured, V2cMessagesWithSnmpV2Values)
{
    const Message trap = decoded(decodeMessage(corpusFile("v2c-trap-linkdown.ber")));
    EXPECT_EQ(trap.version, versionV2c);
    EXPECT_EQ(trap.type(), PduType::TrapV2);
    ASSERT_EQ(trap.bindings().size(), 5u);
    EXPECT_EQ(trap.bindings()[1].value, (Value{ObjectIdentifier{{1, 3, 6, 1, 6, 3, 1, 1, 5, 3}}}));

    const Message answer = decoded(decodeMessage(corpusFile("v2c-get-nosuchobject-response.ber")));
    ASSERT_EQ(answer.bindings().size(), 2u);
    EXPECT_EQ(answer.bindings()[1].value, Value{NoSuchObject{}});

    const std::vector<VarBind> counter = decoded(decodeMessage(corpusFile("v2c-trap-enterprise.ber"))).bindings();
    const auto c64 = std::find_if(counter.begin(), counter.end(),
                                  [](const VarBind& b) { return std::holds_alternative<Counter64>(b.value); });
    ASSERT_NE(c64, counter.end());
    EXPECT_EQ(std::get<Counter64>(c64->value).value, 18446744073709551615u);
}

TEST(DecodeCaptured, EveryPrefixOfARealDatagramIsDropped)
{
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        const Bytes whole = corpusFile(entry.path().filename().string());
        ASSERT_TRUE(decodeMessage(whole).ok()) << entry.path();
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const Decoded<Message> result = decodeMessage(std::span(whole).first(size));
            ASSERT_FALSE(result.ok()) << entry.path() << " cut to " << size;
            EXPECT_EQ(result.failure().reason, DecodeError::Truncated);
        }
    }
}

TEST(DecodeValues, UnknownApplicationTypeKeepsItsBytes)
{
    // [APPLICATION 7] (UInteger32 in some agents): shown, not dropped.
    const Bytes packet = getResponseWith(tlv(0x06, hex("2B 06 01")), hex("47 02 01 02"));
    const Message m = decoded(decodeMessage(packet));
    ASSERT_EQ(m.bindings().size(), 1u);
    EXPECT_EQ(m.bindings()[0].value, (Value{Opaque{hex("01 02"), 0x47}}));
}

TEST(DecodeValues, ZeroLengthObjectIdentifierValueFromAPrinterIsShownAsTheNullIdentifier)
{
    // A printer's answer for ifSpecific.1, as it sent it: the value is an
    // OBJECT IDENTIFIER of no bytes at all (06 00).
    const Bytes packet = hex("30 2B 02 01 00 04 06 70 75 62 6C 69 63"       // v1, "public"
                             "A2 1E 02 04 32 FA 7A 02 02 01 00 02 01 00"    // GetResponse, id, no error
                             "30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 16 01" // ifSpecific.1
                             "06 00");
    const Message m = decoded(decodeMessage(packet));
    ASSERT_EQ(m.bindings().size(), 1u);
    EXPECT_EQ(valueText(m.bindings()[0].value), "0.0");
    EXPECT_EQ(encodeMessage(m), packet) << "and it encodes back as it came";
}

TEST(DecodeValues, NonMinimalLengthsFromLenientAgentsAreAccepted)
{
    // The captured response with its outer length in the two-byte long
    // form (30 82 00 5D instead of 30 5D), as some embedded agents send it.
    const Bytes packet = hex("30 82 00 5D") + Bytes(getResponse.begin() + 2, getResponse.end());
    const Message m = decoded(decodeMessage(packet));
    EXPECT_EQ(m.bindings().size(), 3u);
}

// --- Datagrams that must be dropped -------------------------------------------

struct DropCase {
    const char* name;
    Bytes datagram;
    DecodeError reason;
    std::size_t offset;
};

std::size_t find(const Bytes& haystack, const Bytes& needle)
{
    const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
    if (at == haystack.end())
        throw std::logic_error("pattern not in the test packet");
    return static_cast<std::size_t>(at - haystack.begin());
}

const Bytes sysDescrName = tlv(0x06, hex("2B 06 01 02 01 01 01 00"));

Bytes withVersion(const Bytes& version, std::uint8_t pduTag)
{
    return seq({version, tlv(0x04, text("mervik")),
                tlv(pduTag, concat({hex("02 01 07 02 01 00 02 01 00"), seq({seq({sysDescrName, hex("05 00")})})}))});
}

Bytes pduWith(const Bytes& fields)
{
    return seq({hex("02 01 00"), tlv(0x04, text("mervik")), tlv(0xA2, fields)});
}

Bytes v1TrapWith(const Bytes& agentAddress)
{
    return seq({hex("02 01 00"), tlv(0x04, text("public")),
                tlv(0xA4, concat({tlv(0x06, hex("2B 06 01 04 01")), agentAddress, hex("02 01 00 02 01 00 43 01 00"),
                                  seq({})}))});
}

const Bytes fiveByteRequestId = hex("02 05 01 00 00 00 00");
const Bytes longName = tlv(0x06, Bytes{0x2B} + Bytes(maxOidLength - 1, 0x01));
const Bytes wideCounter = hex("41 05 01 00 00 00 00");
const Bytes shortAddress = hex("40 03 0A 01 02");
const Bytes longAddress = hex("40 05 0A 01 02 03 04");
const Bytes nullWithContent = hex("05 01 00");

std::vector<DropCase> dropCases()
{
    std::vector<DropCase> cases;
    cases.push_back({"Empty", {}, DecodeError::Truncated, 0});
    cases.push_back({"CutShort", Bytes(getResponse.begin(), getResponse.begin() + 40), DecodeError::Truncated, 1});
    cases.push_back({"GarbageAfterTheMessage", getResponse + hex("00"), DecodeError::TrailingBytes,
                     getResponse.size()});
    cases.push_back({"IndefiniteLength", hex("30 80") + Bytes(getResponse.begin() + 2, getResponse.end()) + hex("00 00"),
                     DecodeError::IndefiniteLength, 1});
    cases.push_back({"FiveLengthBytes", hex("30 85 00 00 00 00 03 02 01 00"), DecodeError::LengthOverflow, 1});
    cases.push_back({"LengthOf4GiB", hex("30 84 FF FF FF FF 02 01 00"), DecodeError::Truncated, 1});
    cases.push_back({"NotASequence", hex("04 03 61 62 63"), DecodeError::UnexpectedTag, 0});
    cases.push_back({"SnmpV3", withVersion(hex("02 01 03"), 0xA2), DecodeError::UnsupportedVersion, 4});
    cases.push_back({"Version2", withVersion(hex("02 01 02"), 0xA2), DecodeError::UnsupportedVersion, 4});
    cases.push_back({"NegativeVersion", withVersion(hex("02 01 FF"), 0xA2), DecodeError::UnsupportedVersion, 4});
    cases.push_back({"VersionTooWide", withVersion(hex("02 05 00 00 00 00 00"), 0xA2), DecodeError::IntegerTooLarge, 4});
    cases.push_back({"V2TrapInV1Message", withVersion(hex("02 01 00"), 0xA7), DecodeError::UnexpectedTag, 13});
    cases.push_back({"V1TrapInV2cMessage", withVersion(hex("02 01 01"), 0xA4), DecodeError::UnexpectedTag, 13});
    cases.push_back({"UnknownPdu", withVersion(hex("02 01 01"), 0xA9), DecodeError::UnexpectedTag, 13});
    cases.push_back({"PrimitivePduTag", withVersion(hex("02 01 00"), 0x82), DecodeError::UnexpectedTag, 13});
    cases.push_back({"CommunityAsInteger", seq({hex("02 01 00 02 01 05"), tlv(0xA2, {})}), DecodeError::UnexpectedTag, 5});

    const Bytes wideId = pduWith(concat({fiveByteRequestId, hex("02 01 00 02 01 00"), seq({})}));
    cases.push_back({"RequestIdTooWide", wideId, DecodeError::IntegerTooLarge, find(wideId, fiveByteRequestId) + 2});
    const Bytes noList = pduWith(hex("02 01 07 02 01 00 02 01 00"));
    cases.push_back({"MissingBindingList", noList, DecodeError::Truncated, noList.size()});
    const Bytes extraField = pduWith(concat({hex("02 01 07 02 01 00 02 01 00"), seq({}), hex("02 01 00")}));
    cases.push_back({"ExtraFieldInThePdu", extraField, DecodeError::TrailingBytes, extraField.size() - 3});

    const Bytes tooLong = getResponseWith(longName, hex("05 00"));
    cases.push_back({"NameOf129Subidentifiers", tooLong, DecodeError::OidTooLong, find(tooLong, longName) + 3 + 127});
    const Bytes bigSubid = getResponseWith(tlv(0x06, hex("2B 90 80 80 80 00")), hex("05 00"));
    cases.push_back({"SubidentifierOver32Bits", bigSubid, DecodeError::SubidTooLarge, find(bigSubid, hex("90 80"))});
    const Bytes counter = getResponseWith(sysDescrName, wideCounter);
    cases.push_back({"CounterOver32Bits", counter, DecodeError::IntegerTooLarge, find(counter, wideCounter) + 2});
    const Bytes shortIp = getResponseWith(sysDescrName, shortAddress);
    cases.push_back({"IpAddressOfThreeBytes", shortIp, DecodeError::Truncated, find(shortIp, shortAddress) + 5});
    const Bytes longIp = getResponseWith(sysDescrName, longAddress);
    cases.push_back({"IpAddressOfFiveBytes", longIp, DecodeError::TrailingBytes, find(longIp, longAddress) + 6});
    const Bytes badNull = getResponseWith(sysDescrName, nullWithContent);
    cases.push_back({"NullWithContent", badNull, DecodeError::TrailingBytes, find(badNull, nullWithContent) + 2});
    const Bytes constructed = getResponseWith(sysDescrName, hex("30 00"));
    cases.push_back({"ConstructedValue", constructed, DecodeError::UnexpectedTag, constructed.size() - 2});
    const Bytes context = getResponseWith(sysDescrName, hex("83 00"));
    cases.push_back({"UnknownContextValue", context, DecodeError::UnexpectedTag, context.size() - 2});
    const Bytes nameless = getResponseWith(hex("04 01 61"), hex("05 00"));
    cases.push_back({"NameIsNotAnOid", nameless, DecodeError::UnexpectedTag, find(nameless, hex("04 01 61"))});
    const Bytes extraInBinding =
        pduWith(concat({hex("02 01 07 02 01 00 02 01 00"), seq({seq({sysDescrName, hex("05 00 05 00")})})}));
    cases.push_back({"ThirdFieldInABinding", extraInBinding, DecodeError::TrailingBytes, extraInBinding.size() - 2});

    const Bytes trapShortIp = v1TrapWith(shortAddress);
    cases.push_back({"TrapAgentAddressOfThreeBytes", trapShortIp, DecodeError::Truncated,
                     find(trapShortIp, shortAddress) + 5});
    const Bytes trapNoIp = v1TrapWith(hex("04 04 0A 01 02 03"));
    cases.push_back({"TrapAgentAddressAsOctetString", trapNoIp, DecodeError::UnexpectedTag,
                     find(trapNoIp, hex("04 04 0A"))});
    return cases;
}

void PrintTo(const DropCase& c, std::ostream* out)
{
    *out << c.name;
}

class MustBeDropped : public testing::TestWithParam<DropCase> {};

TEST_P(MustBeDropped, WithTheRuleThatFired)
{
    const DropCase& c = GetParam();
    const Decoded<Message> result = decodeMessage(c.datagram);
    ASSERT_FALSE(result.ok()) << "decoded a datagram that must be dropped";
    EXPECT_EQ(result.failure(), (DecodeFailure{c.reason, c.offset}));
}

INSTANTIATE_TEST_SUITE_P(Decode, MustBeDropped, testing::ValuesIn(dropCases()),
                         [](const testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace brellan::snmp::test
