// SPDX-License-Identifier: GPL-3.0-or-later
// Searching the trap lines: a line is found by its text or by its kept
// trap's details, never by details that were let go, and the datagram
// prefilter never hides a trap whose details hold the needle.

#include "DetailsMatcher.h"
#include "DetailsPrefilter.h"
#include "LetterRuns.h"
#include "Message.h"
#include "ShownNames.h"
#include "TrapDetailsText.h"
#include "TrapSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
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

    // Names: the names the details show, with the bytes and letter runs the search must learn of them.
    std::vector<std::size_t> everyMatch(std::string_view needle,
                                        const std::shared_ptr<const names::NameIndex>& names = nullptr)
    {
        const std::string nameBytes = names ? shownNameBytes(*names) : std::string();
        const std::string nameRuns = names ? shownNameLetterRuns(*names) : std::string();
        std::vector<std::size_t> found;
        std::size_t start = 0;
        while (start < lines.size()) {
            TrapSearch search(lines, details, needle, {lines.size(), start, TrapSearch::Direction::forward},
                              {names, nameBytes, nameRuns});
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
    TrapSearch back(lines, details, "coldstart", {lines.size(), 2, TrapSearch::Direction::backward});
    ASSERT_EQ(back.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(back.found(), 0U);
    EXPECT_FALSE(back.wrapped());
    TrapSearch round(lines, details, "coldstart", {lines.size(), 1, TrapSearch::Direction::forward});
    ASSERT_EQ(round.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(round.found(), 0U);
    EXPECT_TRUE(round.wrapped());
}

// A word of letters alone is looked for in the datagrams too, unless the
// formatter or a name may write it: a word the details show only by a
// value's label is still found, and so is a string's word right after an
// escape ("\nfan" reads "nfan").
TEST_F(TrapSearchTest, APlainWordIsRuledOutByTheDatagramsUnlessTheFormatterOrANameMayWriteIt)
{
    const std::shared_ptr<const names::NameIndex> names = names::builtInNames();
    const Oid ifOperStatus3{1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 3};
    const ReceivedTrap uplink = keptV2("public", {{ifOperStatus3, Integer{7}},
                                                  {{1, 3, 6, 1, 2, 1, 2, 2, 1, 2, 3}, OctetString{octets("Uplink")}}});
    addLine("10.0.0.1 linkDown", &uplink);
    const ReceivedTrap up = keptV2("public", {{ifOperStatus3, Integer{1}}});
    addLine("10.0.0.2 linkUp", &up);
    const ReceivedTrap fan = keptV2("public", {{{1, 3, 6, 1, 4, 1, 8072, 9}, OctetString{octets("rack 4\nfan failed")}}});
    addLine("10.0.0.3 enterpriseSpecific", &fan);
    ASSERT_NE(trapDetailsText(uplink, "", {}, CommunityShown::asText, {names.get(), false})
                  .find("INTEGER: lowerLayerDown(7)"),
              std::string::npos);

    EXPECT_EQ(everyMatch("UPLINK", names), (std::vector<std::size_t>{0})) << "a string value's word";
    EXPECT_EQ(everyMatch("layerDown", names), (std::vector<std::size_t>{0})) << "a label, in no datagram";
    EXPECT_EQ(everyMatch("nfan", names), (std::vector<std::size_t>{2})) << "an escape's letter before a word";
    EXPECT_EQ(everyMatch("variable", names), (std::vector<std::size_t>{0, 1, 2})) << "the formatter's own word";
    EXPECT_TRUE(everyMatch("uplinks", names).empty());

    TrapSearch failed(lines, details, "FAILED", {lines.size(), 0, TrapSearch::Direction::forward});
    ASSERT_EQ(failed.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(failed.found(), 2U);
    EXPECT_EQ(failed.detailsLookedAt(), 1U) << "the other datagrams rule their traps out";
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

    TrapSearch search(lines, details, "SECRET@", {lines.size(), 0, TrapSearch::Direction::forward});
    ASSERT_EQ(search.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(search.found(), 0U);
    TrapSearch next(lines, details, "SECRET@", {lines.size(), 1, TrapSearch::Direction::forward});
    ASSERT_EQ(next.advance(std::chrono::steady_clock::time_point::max()), TrapSearch::Outcome::found);
    EXPECT_EQ(next.found(), firstKept);
    EXPECT_EQ(next.detailsLookedAt(), 1U) << "the datagram rules the others out";
}

// The prefilter rests on the formatter writing nothing of its own but the
// bytes formatterMayWrite names, and no run of letters but those its own
// words, the names, hexadecimal digits and escapes account for: any other
// run, less a first letter an escape may have written, is the datagram's.
// Details of every kind of trap, with names and without, must hold nothing
// else.
// Traps of every kind: every kind of value, cut ones, ones in hexadecimal,
// escapes beside letters, more bindings than are shown, v1 (the
// agent-address sentence, an unknown generic code), v2c and inform,
// datagrams that do not decode for several reasons, and none at all.
std::vector<ReceivedTrap> everyKindOfTrap()
{
    const std::vector<VarBind> values{
        {{1, 3, 6, 1, 2, 1, 1, 1, 0}, OctetString{octets(std::string(300, 'x') + "\t\"q\"\\")}},
        {{1, 3, 6, 1, 2, 1, 1, 5, 0}, OctetString{octets("Quiet\tzone\rrack\u2028unit " + std::string(300, 'W'))}},
        {{1, 3, 6, 1, 2, 1, 1, 2, 0}, ObjectIdentifier{{1, 3, 6, 1, 4, 1, 8072}}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 6, 1}, OctetString{{0x00, 0x1b, 0x80, 0xff, 0xab, 0xcd}}},
        {{1, 3, 6, 1, 2, 1, 4, 20, 1, 1}, IpAddress{{10, 0, 0, 1}}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1}, Counter{4000000000U}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 5, 1}, Gauge{100}},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 1}, Integer{7}},
        {{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{987654321}},
        {{1, 3, 6, 1, 2, 1, 1, 3, 0}, TimeTicks{8640000}},
        {{1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 6, 1}, Counter64{18446744073709551615ULL}},
        {{1, 3, 6, 1, 4, 1, 1}, Opaque{{1, 2, 3}}},
        {{1, 3, 6, 1, 4, 1, 1}, Opaque{{1}, tag::uinteger32}},
        {{1, 3, 6, 1, 4, 1, 1}, Opaque{{0xfe}, 0x48}}, // a type of another application
        {{1, 3, 6, 1, 4, 1, 2}, Null{}},
        {{1, 3, 6, 1, 4, 1, 3}, NoSuchObject{}},
        {{1, 3, 6, 1, 4, 1, 4}, NoSuchInstance{}},
        {{1, 3, 6, 1, 4, 1, 5}, EndOfMibView{}},
        {{1, 3, 6, 1, 4, 1, 6}, Integer{-2147483647 - 1}},
    };
    std::vector<VarBind> many(70, values[1]);
    std::vector<ReceivedTrap> traps{keptV2("\x01\x02", values), keptV2("pub\nlic", many), keptV2("public", values)};
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
    v1.timeStamp = 987654;
    v1.bindings = values;
    traps.push_back(traps.back());
    traps.back().datagram = encodeMessage(Message{versionV1, "public", v1});
    v1.genericTrap = 9;
    v1.enterprise = {1, 3, 6, 1, 6, 3, 1, 1, 5, 3};
    traps.push_back(traps.back());
    traps.back().datagram = encodeMessage(Message{versionV1, std::string(300, 'c'), v1});
    const Octets whole = traps.back().datagram;
    for (const auto& broken : {Octets(whole.begin(), whole.begin() + whole.size() / 2), Octets{0x31, 0x00},
                               Octets{0x30, 0x80, 0x00, 0x00}, Octets{0x30, 0x03, 0x02, 0x01, 0x07}}) {
        traps.push_back(traps.back());
        traps.back().datagram = broken; // does not decode: cut short, a wrong tag, an indefinite length, a version
    }
    traps.push_back(traps.back());
    traps.back().datagram = whole;
    traps.back().datagram.push_back(0x00); // a byte after the end
    traps.push_back(traps.back());
    traps.back().datagram.clear();

    return traps;
}

TEST(DetailsPrefilterTest, TheFormatterWritesNoByteThePrefilterTakesForTheDatagrams)
{
    const std::vector<ReceivedTrap> traps = everyKindOfTrap();
    // Names from a MIB file may hold such a byte, and its letters: then the needle is left to formatting.
    EXPECT_TRUE(DetailsPrefilter("ops@rack").usesDatagram());
    EXPECT_FALSE(DetailsPrefilter("ops@rack", "-@", "ops rack ").usesDatagram());

    const std::shared_ptr<const names::NameIndex> names = names::builtInNames();
    const std::string ownRuns = trapDetailsOwnLetterRuns();
    const std::string nameRuns = shownNameLetterRuns(*names);
    const auto accountedFor = [&](std::string_view run, const Octets& datagram) {
        if (run.find_first_not_of("abcdefx") == std::string_view::npos)
            return true; // hexadecimal
        if (FoldedNeedle(run).foundIn(ownRuns) || FoldedNeedle(run).foundIn(nameRuns))
            return true;
        if (std::string_view("nrtu").find(run.front()) != std::string_view::npos)
            run.remove_prefix(1); // an escape's letter
        return FoldedNeedle(run).foundIn(datagram);
    };
    for (const ReceivedTrap& trap : traps) {
        const std::string texts[] = {
            trapDetailsText(trap, ""),
            trapDetailsText(trap, "", {}, CommunityShown::asText, {names.get(), false}),
            trapDetailsText(trap, "", {}, CommunityShown::asLengthOnly, {names.get(), true}),
        };
        for (const std::string& text : texts) {
            for (const char c : text)
                ASSERT_TRUE(DetailsPrefilter::formatterMayWrite(static_cast<unsigned char>(c)))
                    << "the byte " << int(static_cast<unsigned char>(c)) << " in:\n" << text;
            std::string runs;
            appendFoldedLetterRuns(text, runs);
            for (std::size_t start = 0, blank = 0; start < runs.size(); start = blank + 1) {
                blank = runs.find(' ', start);
                const std::string_view run = std::string_view(runs).substr(start, blank - start);
                ASSERT_TRUE(accountedFor(run, trap.datagram)) << "the letters \"" << run << "\" in:\n" << text;
            }
        }
    }
    for (const std::string& text : {detailsLetGoText(), detailsNeverKeptText()}) {
        for (const char c : text)
            ASSERT_TRUE(DetailsPrefilter::formatterMayWrite(static_cast<unsigned char>(c))) << text;
    }
}

// The matcher must say of every trap what writing its details out and
// looking says: needles cut from every line of every kind of trap (the
// port's digits with what stands before them, numbers, names, words that
// span a line's parts) and from no line, each matcher run over all the
// traps twice, so that the second time its parts are remembered ones.
TEST(DetailsMatcherTest, SaysWhatTheWrittenDetailsSay)
{
    std::vector<ReceivedTrap> traps = everyKindOfTrap();
    traps.push_back(traps[2]);
    traps.back().sourcePort = 40121; // the same parts from another port
    traps.push_back(traps[4]);
    traps.back().sourceAddress = 0;
    traps.back().sourcePort = 0; // from nobody known
    // Parts seen before beside others: a v1 trap with the bindings of a
    // v2c one (which show the headers), another enterprise, and a v2c trap
    // without the headers whose one different binding is past those shown.
    const Message v2c = *decodeMessage(traps[2].datagram);
    Message v1 = *decodeMessage(traps[4].datagram);
    std::get<TrapPdu>(v1.pdu).bindings = v2c.bindings();
    traps.push_back(traps[4]);
    traps.back().datagram = encodeMessage(v1);
    std::get<TrapPdu>(v1.pdu).enterprise = {1, 3, 6, 1, 4, 1, 8072, 3, 2, 10};
    traps.push_back(traps[4]);
    traps.back().datagram = encodeMessage(v1);
    Pdu beyond;
    beyond.type = PduType::TrapV2;
    beyond.bindings.assign(DetailLimits{}.maxBindings, {{1, 3, 6, 1, 2, 1, 1, 6, 0}, OctetString{octets("rack 9")}});
    beyond.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 6, 0}, OctetString{octets("beyond")}});
    traps.push_back(traps[2]);
    traps.back().datagram = encodeMessage(Message{versionV2c, "public", beyond});
    // The same traps later, the fields that differ as long as before:
    // another request-id and sysUpTime.0, another time-stamp.
    Message later = v2c;
    std::get<Pdu>(later.pdu).requestId = 99;
    std::get<Pdu>(later.pdu).bindings[0].value = TimeTicks{4321};
    traps.push_back(traps[2]);
    traps.back().datagram = encodeMessage(later);
    Message v1Later = *decodeMessage(traps[4].datagram);
    std::get<TrapPdu>(v1Later.pdu).timeStamp = 987655;
    traps.push_back(traps[4]);
    traps.back().datagram = encodeMessage(v1Later);
    const std::shared_ptr<const names::NameIndex> names = names::builtInNames();
    const OidNaming naming{names.get(), false};
    const auto detailsOf = [&naming](const ReceivedTrap& trap) {
        return trapDetailsText(trap, "", {}, CommunityShown::asText, naming);
    };

    std::vector<std::string> texts;
    for (const ReceivedTrap& trap : traps)
        texts.push_back(detailsOf(trap));
    // Windows of 4 and 10 bytes every 3 bytes near each line's start and
    // end, and at every byte of the source's line.
    std::set<std::string> needles{"1162\nver", "no such words", "beyond", "(not in", "sysUpTime.0: ("};
    for (const std::string& text : texts) {
        for (std::size_t start = 0, end = 0, line = 0; start < text.size(); start = end + 1, ++line) {
            end = std::min(text.find('\n', start), text.size());
            for (std::size_t at = start; at + 4 <= end; at += line == 1 ? 1 : 3) {
                if (at < start + 48 || at + 12 >= end) {
                    needles.insert(text.substr(at, 4));
                    needles.insert(text.substr(at, std::min<std::size_t>(10, end - at)));
                }
            }
        }
    }
    for (const std::string& needle : needles) {
        DetailsMatcher matcher(needle, {}, naming);
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t i = 0; i < traps.size(); ++i) {
                ASSERT_EQ(matcher.matches(traps[i].sourceAddress, traps[i].sourcePort, traps[i].datagram),
                          FoldedNeedle(needle).foundIn(texts[i]))
                    << "\"" << needle << "\" in:\n" << texts[i];
            }
        }
    }
}

// Each way of looking (memchr on a rare byte, Horspool's moves, memchr
// on the rarest letter in a long text) finds what comparing at every place
// finds: random texts, short and long, of a few letters in both cases,
// blanks, marks and bytes that are no ASCII, and needles cut from them.
TEST(FoldedNeedleTest, FindsWhatComparingAtEveryPlaceFinds)
{
    const auto fold = [](char c) { return FoldedNeedle::fold(static_cast<unsigned char>(c)); };
    const auto foundByComparing = [&fold](std::string_view text, std::string_view needle) {
        return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                           [&fold](char a, char b) { return fold(a) == fold(b); })
               != text.end();
    };
    const std::string_view bytes = "abcABC rk.-K@\x80\xff";
    std::mt19937 random(20261209);
    for (int i = 0; i < 20000; ++i) {
        std::string text(random() % 3000, ' ');
        for (char& c : text)
            c = bytes[random() % bytes.size()];
        std::string needle(1 + random() % 6, ' ');
        for (char& c : needle)
            c = bytes[random() % bytes.size()];
        if (random() % 2 && text.size() > needle.size())
            needle = text.substr(random() % (text.size() - needle.size()), needle.size());
        ASSERT_EQ(FoldedNeedle(needle).foundIn(text), foundByComparing(text, needle)) << needle;
    }
}

} // namespace
} // namespace brellan::test
