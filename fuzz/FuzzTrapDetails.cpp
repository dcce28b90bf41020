// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, cut into datagrams, to the trap list's keeping of
// traps: each is kept in a store small enough that blocks are sealed,
// compressed and let go, read back, and turned into its details text, with
// the built-in names and with each name's number beside it. A trap still
// kept must read back exactly as it was kept, and its text must be made
// whatever the bytes say; a search's look at it must say what the text says.

#include "DetailsMatcher.h"
#include "FoldedNeedle.h"
#include "TrapDetailStore.h"
#include "NameIndex.h"
#include "TrapDetailsText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

using namespace brellan;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The input as datagrams: each starts with a byte giving its length.
std::vector<std::span<const std::uint8_t>> datagrams(std::span<const std::uint8_t> input)
{
    std::vector<std::span<const std::uint8_t>> result;
    while (!input.empty()) {
        const std::size_t length = std::min<std::size_t>(input[0], input.size() - 1);
        result.push_back(input.subspan(1, length));
        input = input.subspan(1 + length);
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::span<const std::uint8_t>> traps = datagrams({data, size});
    const OidNaming naming{names::builtInNames().get(), true};
    TrapDetailStore store(8 * 1024);
    const auto receivedAt = std::chrono::sys_time<std::chrono::microseconds>(std::chrono::milliseconds(1'700'000'000'000));
    const auto trapOf = [&](std::size_t line) {
        ReceivedTrap trap;
        trap.genericTrap = static_cast<std::int32_t>(line % 8);
        trap.specificTrap = -static_cast<std::int32_t>(line);
        trap.agentAddress = static_cast<std::uint32_t>(line);
        trap.receivedAt = receivedAt + std::chrono::microseconds(line * 1001);
        trap.sourceAddress = 0x7F000001;
        trap.sourcePort = 162;
        trap.datagram.assign(traps[line].begin(), traps[line].end());
        return trap;
    };
    for (std::size_t line = 0; line < traps.size(); ++line)
        store.keep(line * 2, trapOf(line));
    const OidNaming named{naming.names, false};
    const std::string inputNeedle(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 4));
    DetailsMatcher inputMatcher(inputNeedle, {}, named);
    for (std::size_t line = 0; line < traps.size(); ++line) {
        const TrapDetailStore::Found found = store.find(line * 2);
        check(store.find(line * 2 + 1).state != TrapDetailStore::State::Kept);
        if (found.state != TrapDetailStore::State::Kept)
            continue;
        const ReceivedTrap kept = trapOf(line);
        check(found.trap->genericTrap == kept.genericTrap && found.trap->specificTrap == kept.specificTrap
              && found.trap->agentAddress == kept.agentAddress && found.trap->receivedAt == kept.receivedAt
              && found.trap->sourceAddress == kept.sourceAddress && found.trap->datagram == kept.datagram);
        check(!trapDetailsText(*found.trap, "2023-11-14 22:13:20.000", {}, CommunityShown::asLengthOnly, naming)
                   .empty());
        // A search's look at the details says what the written details say:
        // for a needle cut from them, twice (the second time from what it
        // remembered), and for one needle of the input's first bytes, with
        // one matcher that remembers every trap before this one.
        const std::string text = trapDetailsText(*found.trap, "", {}, CommunityShown::asText, named);
        const std::string cutNeedle = text.substr((line * 7919) % (text.size() + 1), 1 + line % 13);
        DetailsMatcher cutMatcher(cutNeedle, {}, named);
        const bool cutWritten = FoldedNeedle(cutNeedle).foundIn(text);
        for (int time = 0; time < 2; ++time)
            check(cutMatcher.matches(kept.sourceAddress, kept.sourcePort, kept.datagram) == cutWritten);
        check(inputMatcher.matches(kept.sourceAddress, kept.sourcePort, kept.datagram)
              == FoldedNeedle(inputNeedle).foundIn(text));
    }
    return 0;
}
