// SPDX-License-Identifier: GPL-3.0-or-later
// Searching the trap lines: a line is found by its text or by its kept
// trap's details, never by details that were let go, and the datagram
// prefilter never hides a trap whose details hold the needle.

#include "DetailsPrefilter.h"
#include "Message.h"
#include "TrapDetailsText.h"
#include "TrapSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brellan::test {
namespace {

using namespace snmp;

Octets octets(std::string_view text)
{
    return Octets(text.begin(), text.end());
}

ReceivedTrap keptV2(std::string community, std::vector<VarBind> bindings)
{
    Pdu pdu;
    pdu.type = PduType::TrapV2;
    pdu.requestId = 7;
    pdu.bindings = {{{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{4200}},
                    {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ObjectIdentifier{{1, 3, 6, 1, 6, 3, 1, 1, 5, 3}}}};
    pdu.bindings.insert(pdu.bindings.end(), bindings.begin(), bindings.end());
    ReceivedTrap trap;
    trap.sourceAddress = 0x7F000001;
    trap.sourcePort = 1162;
    trap.datagram = encodeMessage(Message{versionV2c, std::move(community), pdu});
    return trap;
}

std::string detailsOf(const ReceivedTrap& trap)
{
    return trapDetailsText(trap, "");
}

// Lines of their own text; the trap of each line i (from 1 on) is kept
// with community "c<i>" and one string value.
class TrapSearchTest : public ::testing::Test {
protected:
    TrapSearchTest() : details(budget) {}

    void addLine(std::string text, const ReceivedTrap* trap)
    {
        if (trap)
            details.keep(lines.size(), *trap);
        lines.append(text);
    }

    std::vector<std::size_t> everyMatch(std::string_view needle)
    {
        std::vector<std::size_t> found;
        std::size_t start = 0;
        while (start < lines.size()) {
            TrapSearch search(lines, details, detailsOf, needle, {lines.size(), start, TrapSearch::Direction::forward});
            if (search.advance(std::chrono::steady_clock::time_point::max()) != TrapSearch::Outcome::found
                || search.wrapped())
                break;
            found.push_back(search.found());
            start = search.found() + 1;
        }
        return found;
    }

    static constexpr std::size_t budget = std::size_t{1} << 20;
    TrapLineStore lines;
    TrapDetailStore details;
};

TEST_F(TrapSearchTest, FindsLinesByTheirTextOrTheirKeptDetails)
{
    addLine("10.0.0.1 coldStart", nullptr);
    const ReceivedTrap interface = keptV2("Backbone-RO", {{{1, 3, 6, 1, 2, 1, 2, 2, 1, 2, 3}, OctetString{octets("Uplink to \"core\" @rack 4")}}});
    addLine("10.0.0.2 linkDown", &interface);
    const ReceivedTrap other = keptV2("public", {{{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 3}, Integer{3}}});
    addLine("10.0.0.3 LINKDOWN", &other);
    ReceivedTrap overIpv6 = keptV2("public", {});
    overIpv6.sourceAddress = snmp::InetAddress::ipv6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "lab@3");
    addLine("fe80::1%lab@3 linkDown", &overIpv6);

    EXPECT_EQ(everyMatch("linkdown"), (std::vector<std::size_t>{1, 2, 3})) << "the lines' text, whatever the case";
    EXPECT_EQ(everyMatch("0.3 linkDOWN"), (std::vector<std::size_t>{2})) << "up to the text's last byte";
    EXPECT_EQ(everyMatch("backbone-ro"), (std::vector<std::size_t>{1})) << "a community";
    EXPECT_EQ(everyMatch("@RACK"), (std::vector<std::size_t>{1})) << "a string value, ruled in by its datagram";
    EXPECT_EQ(everyMatch("\\\"core\\\" @"), (std::vector<std::size_t>{1})) << "as the details write it, escapes and all";
    EXPECT_EQ(everyMatch("INTEGER: 3"), (std::vector<std::size_t>{2})) << "the formatter's own writing";
    EXPECT_TRUE(everyMatch("@rack 5").empty());
    EXPECT_EQ(everyMatch("1%LAB@3]:1162"), (std::vector<std::size_t>{3}))
        << "a zone (an interface's name, any byte) is in no datagram";

    // From line 2 backwards, round the start to the end.
    TrapSearch back(lines, details, detailsOf, "coldstart", {lines.size(), 2, TrapSearch::Direction::backward});
    ASSERT_EQ(back.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(back.found(), 0U);
    EXPECT_FALSE(back.wrapped());
    TrapSearch round(lines, details, detailsOf, "coldstart", {lines.size(), 1, TrapSearch::Direction::forward});
    ASSERT_EQ(round.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(round.found(), 0U);
    EXPECT_TRUE(round.wrapped());
}

// Once the oldest traps are let go, their lines are found by their text
// alone; the traps still kept are found by their details.
TEST_F(TrapSearchTest, ALetGoLineMatchesByItsTextAlone)
{
    const ReceivedTrap trap = keptV2("secret@site", {});
    for (std::size_t i = 0; i < 40000 && details.letGoCount() == 0; ++i)
        addLine(i == 0 ? "first line secret@site" : "10.0.0.9 linkUp", &trap);
    ASSERT_GT(details.letGoCount(), 0U);
    for (int i = 0; i < 100; ++i)
        addLine("10.0.0.9 linkUp", &trap);
    ASSERT_EQ(details.find(1).state, TrapDetailStore::State::LetGo);
    const std::size_t firstKept = lines.size() - details.keptCount();

    TrapSearch search(lines, details, detailsOf, "SECRET@", {lines.size(), 0, TrapSearch::Direction::forward});
    ASSERT_EQ(search.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(search.found(), 0U);
    TrapSearch next(lines, details, detailsOf, "SECRET@", {lines.size(), 1, TrapSearch::Direction::forward});
    ASSERT_EQ(next.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(next.found(), firstKept);
    EXPECT_EQ(next.detailsFormatted(), 1U) << "the datagram rules the others out";
}

// The prefilter rests on the formatter writing nothing of its own but the
// bytes formatterMayWrite names. Details of every kind of value, a cut one,
// one in hexadecimal and a datagram that does not decode, made of values
// that hold no other byte, must hold none either.
TEST(DetailsPrefilterTest, TheFormatterWritesNoByteThePrefilterTakesForTheDatagrams)
{
    const std::vector<VarBind> values{
        {{1, 3, 6, 1, 2, 1, 1, 1, 0}, OctetString{octets(std::string(300, 'x') + "\t\"q\"\\")}},
        {{1, 3, 6, 1, 2, 1, 1, 2, 0}, ObjectIdentifier{{1, 3, 6, 1, 4, 1, 8072}}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 6, 1}, OctetString{{0x00, 0x1b, 0x80, 0xff}}},
        {{1, 3, 6, 1, 2, 1, 4, 20, 1, 1}, IpAddress{{10, 0, 0, 1}}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1}, Counter{4000000000U}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 5, 1}, Gauge{100}},
        {{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{987654321}},
        {{1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 6, 1}, Counter64{18446744073709551615ULL}},
        {{1, 3, 6, 1, 4, 1, 1}, Opaque{{1, 2, 3}}},
        {{1, 3, 6, 1, 4, 1, 2}, Null{}},
        {{1, 3, 6, 1, 4, 1, 3}, NoSuchObject{}},
        {{1, 3, 6, 1, 4, 1, 4}, NoSuchInstance{}},
        {{1, 3, 6, 1, 4, 1, 5}, EndOfMibView{}},
        {{1, 3, 6, 1, 4, 1, 6}, Integer{-2147483647 - 1}},
    };
    std::vector<ReceivedTrap> traps{keptV2("\x01\x02", values), keptV2("public", values)};
    Pdu inform;
    inform.type = PduType::InformRequest;
    inform.bindings = values;
    traps.push_back(traps.back());
    traps.back().datagram = encodeMessage(Message{versionV2c, "public", inform});
    TrapPdu v1;
    v1.enterprise = {1, 3, 6, 1, 4, 1, 99};
    v1.agentAddress = {192, 0, 2, 7};
    v1.genericTrap = 6;
    v1.specificTrap = -5;
    v1.bindings = values;
    traps.push_back(traps.back());
    traps.back().datagram = encodeMessage(Message{versionV1, "public", v1});
    traps.push_back(traps.back());
    traps.back().datagram.resize(traps.back().datagram.size() / 2); // does not decode
    traps.push_back(traps.back());
    traps.back().datagram.clear();

    // Names from a MIB file may hold such a byte: then the needle is left to formatting.
    EXPECT_TRUE(DetailsPrefilter("ops@rack").usesDatagram());
    EXPECT_FALSE(DetailsPrefilter("ops@rack", "-@").usesDatagram());

    for (const ReceivedTrap& trap : traps) {
        for (const std::string& text : {trapDetailsText(trap, ""), detailsLetGoText(), detailsNeverKeptText()}) {
            for (const char c : text)
                ASSERT_TRUE(DetailsPrefilter::formatterMayWrite(static_cast<unsigned char>(c)))
                    << "the byte " << int(static_cast<unsigned char>(c)) << " in:\n" << text;
        }
    }
}

} // namespace
} // namespace brellan::test
