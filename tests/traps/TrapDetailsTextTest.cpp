// SPDX-License-Identifier: GPL-3.0-or-later
// A trap's details as the operator reads them: what the datagram says, what
// its source says beside it, and hostile text shown safely.

#include "Message.h"
#include "NameIndex.h"
#include "TrapDetailsText.h"

#include <gtest/gtest.h>

namespace brellan::test {
namespace {

using namespace snmp;

constexpr std::uint32_t relay = 0x0A000009; // 10.0.0.9

ReceivedTrap receivedFrom(std::uint32_t source, std::uint16_t port, std::vector<std::uint8_t> datagram)
{
    ReceivedTrap trap;
    trap.sourceAddress = source;
    trap.sourcePort = port;
    trap.datagram = std::move(datagram);
    return trap;
}

ReceivedTrap keptV1(std::array<std::uint8_t, 4> agentAddress, std::uint32_t source, std::string community = "public")
{
    TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072, 2, 3};
    trap.agentAddress = agentAddress;
    trap.genericTrap = 6;
    trap.specificTrap = 12;
    trap.timeStamp = 6203;
    trap.bindings.push_back({{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 2}, Integer{2}});
    return receivedFrom(source, 1162, encodeMessage(Message{versionV1, std::move(community), trap}));
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(TrapDetailsTextTest, AV1TrapFromAnotherAddressThanItsAgentSaysSo)
{
    const std::string relayed = trapDetailsText(keptV1({10, 0, 0, 7}, relay), "then");
    EXPECT_EQ(relayed, "Received: then\n"
                       "From: 10.0.0.9, UDP port 1162\n"
                       "The trap names 10.0.0.7 as its agent but came from 10.0.0.9: it passed a NAT or a relay, "
                       "or it is forged.\n"
                       "Version: SNMPv1, trap\n"
                       "Community: public\n"
                       "Agent address: 10.0.0.7\n"
                       "Enterprise: 1.3.6.1.4.1.8072.2.3\n"
                       "Generic trap: 6 (enterpriseSpecific)\n"
                       "Specific trap: 12\n"
                       "Time-stamp: 0 days, 00:01:02.03 (6203)\n"
                       "Variable bindings: 1\n"
                       "1.3.6.1.2.1.2.2.1.1.2 = INTEGER: 2");

    const std::string direct = trapDetailsText(keptV1({10, 0, 0, 9}, relay), "then");
    EXPECT_FALSE(has(direct, "came from")) << direct;
    const std::string unnamed = trapDetailsText(keptV1({0, 0, 0, 0}, relay), "then");
    EXPECT_FALSE(has(unnamed, "came from")) << unnamed;
    EXPECT_TRUE(has(unnamed, "Agent address: 0.0.0.0 (none given: the line shows the source)")) << unnamed;
}

TEST(TrapDetailsTextTest, AnInformReadsAsAV2cTrapThatSaysInform)
{
    Pdu inform;
    inform.type = PduType::InformRequest;
    inform.requestId = 77;
    inform.bindings = {{{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{100}},
                       {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ObjectIdentifier{{1, 3, 6, 1, 6, 3, 1, 1, 5, 4}}}};
    const ReceivedTrap kept = receivedFrom(relay, 40000, encodeMessage(Message{versionV2c, "public", inform}));
    const std::string text = trapDetailsText(kept, "then");
    EXPECT_TRUE(has(text, "\nVersion: SNMPv2c, inform\nCommunity: public\n"
                          "snmpTrapOID.0: 1.3.6.1.6.3.1.1.5.4\nsysUpTime.0: 0 days, 00:00:01.00 (100)\n"
                          "Variable bindings: 2\n1.3.6.1.2.1.1.3.0 = Timeticks: (100) 0:00:01.00\n"))
        << text;
    EXPECT_FALSE(has(text, "came from")) << "only a v1 trap names its agent";
}

// Each binding reads as its type and value, beside the value of another type
// that reads the same without it; a line break inside a string stays an
// escape on the binding's own line.
TEST(TrapDetailsTextTest, EveryValueSaysItsTypeAndStaysOnItsLine)
{
    struct Case {
        Value value;
        std::string shown;
    };
    const auto text = [](std::string_view bytes) { return OctetString{Octets(bytes.begin(), bytes.end())}; };
    const std::vector<Case> cases{
        {text("80"), "STRING: \"80\""},
        {OctetString{{0x80}}, "Hex-STRING: 80"},
        {OctetString{}, "STRING: \"\""},
        {Null{}, "NULL"},
        {text("10.0.0.1"), "STRING: \"10.0.0.1\""},
        {IpAddress{{10, 0, 0, 1}}, "IpAddress: 10.0.0.1"},
        {text("x\n1.3.6.1.2.1.1.5.0 = forged"), R"(STRING: "x\n1.3.6.1.2.1.1.5.0 = forged")"},
        {text("\"\\\r\t\u2028"), R"(STRING: "\"\\\r\t\u2028")"},
        {text("a\x1B" "b"), "Hex-STRING: 61 1B 62"},
        {Opaque{{0x00, 0xFF, 0xFF, 0xFF, 0xFF}, 0x47}, "UInteger32: 4294967295"},
        {Opaque{{0x01, 0x00, 0x00, 0x00, 0x00}, 0x47}, "Unknown type 0x47: 01 00 00 00 00"},
        {Opaque{{0x01, 0x02}}, "OPAQUE: 01 02"},
        {TimeTicks{249784}, "Timeticks: (249784) 0:41:37.84"},
        {Counter{7}, "Counter32: 7"},
    };
    TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072};
    trap.agentAddress = {10, 0, 0, 9};
    for (std::uint32_t i = 0; i < cases.size(); ++i)
        trap.bindings.push_back({{1, 3, 6, 1, 4, 1, 8072, 9, i}, cases[i].value});
    const std::string details =
        trapDetailsText(receivedFrom(relay, 162, encodeMessage(Message{versionV1, "public", trap})), "then");
    std::string expected = "\nVariable bindings: " + std::to_string(cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        expected += "\n1.3.6.1.4.1.8072.9." + std::to_string(i) + " = " + cases[i].shown;
    EXPECT_TRUE(details.ends_with(expected)) << details;
}

// Hostile text cannot reorder or hide what follows it, and nothing grows
// without bound: a community with a right-to-left override is shown in
// hexadecimal, a long value is cut with a mark, bindings past the limit are
// counted, and bytes that do not decode say where they stop.
TEST(TrapDetailsTextTest, UntrustedTextIsShownSafelyAndWithinBounds)
{
    ReceivedTrap kept = keptV1({10, 0, 0, 9}, relay, "ad\xE2\x80\xAEmin");
    EXPECT_TRUE(has(trapDetailsText(kept, "then"), "\nCommunity: 61 64 E2 80 AE 6D 69 6E\n"));

    TrapPdu trap;
    trap.enterprise = {1, 3, 6, 1, 4, 1, 8072};
    trap.agentAddress = {10, 0, 0, 9};
    for (int i = 0; i < 100; ++i)
        trap.bindings.push_back({{1, 3, 6, 1, 4, 1, 8072, 9, static_cast<std::uint32_t>(i)},
                                 OctetString{Octets(1000, static_cast<std::uint8_t>('a' + i % 26))}});
    // "a" and line feeds, escaped as two characters each: the cut falls inside an escape.
    Octets& breaks = std::get<OctetString>(trap.bindings[1].value).bytes;
    breaks.assign(1000, '\n');
    breaks[0] = 'a';
    kept.datagram = encodeMessage(Message{versionV1, "public", trap});
    const std::string text = trapDetailsText(kept, "then", DetailLimits{24, 3});
    EXPECT_TRUE(has(text, "\nVariable bindings: 100\n1.3.6.1.4.1.8072.9.0 = STRING: \"" + std::string(24, 'a')
                              + "\" \u2026 [cut: 1000 characters in all]\n"))
        << text;
    std::string escapes = "a";
    for (int i = 0; i < 11; ++i)
        escapes += "\\n";
    EXPECT_TRUE(has(text, "\n1.3.6.1.4.1.8072.9.1 = STRING: \"" + escapes + "\" \u2026 [cut: 1999 characters in all]\n"))
        << text;
    EXPECT_TRUE(has(text, "\n1.3.6.1.4.1.8072.9.2 = STRING: \"" + std::string(24, 'c')
                              + "\" \u2026 [cut: 1000 characters in all]\n\u2026 and 97 more, not shown"))
        << text;
    EXPECT_LT(text.size(), 700U);

    kept.datagram.resize(kept.datagram.size() / 2);
    EXPECT_TRUE(has(trapDetailsText(kept, "then"),
                    "\nThe datagram (" + std::to_string(kept.datagram.size()) + " bytes) does not decode: a field runs past its end at byte"));
}

ReceivedTrap linkDownV2c(std::int32_t operStatus)
{
    Pdu notification;
    notification.type = PduType::TrapV2;
    notification.requestId = 5;
    notification.bindings = {{{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{100}},
                             {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ObjectIdentifier{{1, 3, 6, 1, 6, 3, 1, 1, 5, 3}}},
                             {{2, 999, 1}, Integer{2}},
                             {{1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 2}, Integer{operStatus}}};
    return receivedFrom(relay, 40000, encodeMessage(Message{versionV2c, "public", notification}));
}

// With names, the operator reads names and labels; the copy for a ticket
// keeps each number beside its name; an identifier nobody named (under
// 2.999, the arc kept for examples) and a value with no label stay numbers.
TEST(TrapDetailsTextTest, NamesReadOnScreenAndTheCopyKeepsTheNumbers)
{
    const auto names = names::builtInNames();
    const std::string shown = trapDetailsText(linkDownV2c(2), "then", {}, CommunityShown::asText, {names.get()});
    EXPECT_TRUE(has(shown, "\nsnmpTrapOID.0: IF-MIB::linkDown\n"
                           "sysUpTime.0: 0 days, 00:00:01.00 (100)\n"
                           "Variable bindings: 4\n"
                           "SNMPv2-MIB::sysUpTime.0 = Timeticks: (100) 0:00:01.00\n"
                           "SNMPv2-MIB::snmpTrapOID.0 = OID: IF-MIB::linkDown\n"
                           "2.999.1 = INTEGER: 2\n"
                           "IF-MIB::ifOperStatus.2 = INTEGER: down(2)"))
        << shown;

    const std::string copied =
        trapDetailsText(linkDownV2c(9), "then", {}, CommunityShown::asLengthOnly, {names.get(), true});
    EXPECT_TRUE(has(copied, "\nsnmpTrapOID.0: IF-MIB::linkDown (1.3.6.1.6.3.1.1.5.3)\n")) << copied;
    EXPECT_TRUE(has(copied, "\nSNMPv2-MIB::snmpTrapOID.0 (1.3.6.1.6.3.1.1.4.1.0) = OID: IF-MIB::linkDown "
                            "(1.3.6.1.6.3.1.1.5.3)\n2.999.1 = INTEGER: 2\n"
                            "IF-MIB::ifOperStatus.2 (1.3.6.1.2.1.2.2.1.8.2) = INTEGER: 9"))
        << copied;

    EXPECT_TRUE(trapDetailsText(linkDownV2c(2), "then").ends_with("\n1.3.6.1.2.1.2.2.1.8.2 = INTEGER: 2"))
        << "without names, numbers as before";
}

// A name or label from a hostile MIB file that would break a line, hide
// what follows or pass for other text is not shown: the number is.
TEST(TrapDetailsTextTest, ANameThatCouldBreakALineShowsAsItsNumber)
{
    names::NameIndex hostile;
    hostile.add({1, 3, 6, 1, 2, 1, 2, 2, 1, 8}, {"IF-MIB", "ifOperStatus\nforged", {{2, "down"}, {7, "up\xE2\x80\xAE"}}});
    hostile.add({1, 3, 6, 1, 6, 3, 1, 1, 5}, {"IF-MIB", "x = INTEGER: up(1)", {}});
    hostile.add({1, 3, 6, 1, 6, 3, 1, 1, 4, 1}, {"SNMPv2\x1B-MIB", "snmpTrapOID", {}});
    const std::string text = trapDetailsText(linkDownV2c(7), "then", {}, CommunityShown::asText, {&hostile});
    EXPECT_TRUE(text.ends_with("\nsnmpTrapOID.0: 1.3.6.1.6.3.1.1.5.3\n"
                               "sysUpTime.0: 0 days, 00:00:01.00 (100)\n"
                               "Variable bindings: 4\n"
                               "1.3.6.1.2.1.1.3.0 = Timeticks: (100) 0:00:01.00\n"
                               "1.3.6.1.6.3.1.1.4.1.0 = OID: 1.3.6.1.6.3.1.1.5.3\n"
                               "2.999.1 = INTEGER: 2\n"
                               "1.3.6.1.2.1.2.2.1.8.2 = INTEGER: 7"))
        << text;
}

} // namespace
} // namespace brellan::test
