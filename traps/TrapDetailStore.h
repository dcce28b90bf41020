// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ReceivedTrap.h"
#include "TrapDetailBlock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct ZSTD_CCtx_s;
struct ZSTD_DCtx_s;

namespace brellan {

// The traps behind the trap list's lines, kept for their details in memory
// that stays within a budget, however many traps come and however large.
//
// Each trap is kept whole, as received (codes, agent, time, source and
// datagram), against the number of its line, and find() gives back exactly
// the ReceivedTrap that keep() took; nothing is decoded until someone asks.
// Traps gather in an open block; a full block (4096 traps or 256 KiB of
// datagrams) is sealed: its fields are laid out column by column (line
// numbers, times, codes, addresses, lengths, then the datagrams) and
// compressed with zstd, so that a stream of similar traps costs a few bytes
// each. When the blocks take more than the budget, the oldest are let go
// whole: their lines stay in the list, and find() says their details are
// gone.
//
// Reading a trap decompresses its block; the last block read is kept
// decompressed, so reading the lines of a selection in order decompresses
// each block once.
class TrapDetailStore {
public:
    static constexpr std::size_t defaultBudget = std::size_t{256} << 20;

    explicit TrapDetailStore(std::size_t budgetBytes = defaultBudget);
    ~TrapDetailStore();
    TrapDetailStore(const TrapDetailStore&) = delete;
    TrapDetailStore& operator=(const TrapDetailStore&) = delete;

    // Keeps a trap as the details of `line`. Lines are kept in increasing
    // order: a line at or before the last one kept throws std::invalid_argument.
    void keep(std::size_t line, const ReceivedTrap& trap);

    enum class State {
        Kept,      // here it is
        LetGo,     // it was let go to stay within the budget
        NeverKept, // no trap was kept for this line
    };
    struct Found {
        State state = State::NeverKept;
        std::optional<ReceivedTrap> trap; // set when Kept
    };
    // Throws std::runtime_error if a sealed block does not read back whole.
    Found find(std::size_t line) const;

    // A kept trap where it lies, not copied out: the block (the open one or
    // the one kept decompressed) and its record. Valid until the next
    // keep(), find() or view(). A search reads the datagrams this way.
    struct View {
        State state = State::NeverKept;
        const TrapDetailBlock* block = nullptr;           // set when Kept
        const TrapDetailBlock::Record* record = nullptr; // set when Kept
    };
    // Throws as find() does.
    View view(std::size_t line) const;

    // What the kept traps take now: sealed blocks, the open block and the
    // block kept decompressed for reading, with their bookkeeping.
    std::size_t memoryBytes() const;
    std::size_t budgetBytes() const { return m_budget; }
    // Traps whose details are here now, and those let go so far.
    std::size_t keptCount() const { return m_keptCount; }
    std::size_t letGoCount() const { return m_letGoCount; }

private:
    struct Sealed {
        std::uint64_t firstLine = 0;
        std::uint64_t lastLine = 0;
        std::size_t records = 0;
        std::size_t rawSize = 0;
        std::vector<std::uint8_t> compressed;
    };
    struct CompressorDeleter {
        void operator()(ZSTD_CCtx_s* context) const;
    };
    struct DecompressorDeleter {
        void operator()(ZSTD_DCtx_s* context) const;
    };

    void seal();
    void letGoOldest();
    const TrapDetailBlock& readSealed(const Sealed& sealed) const;

    std::size_t m_budget;
    std::deque<Sealed> m_sealed;
    std::size_t m_sealedBytes = 0; // what m_sealed takes, with its bookkeeping
    TrapDetailBlock m_open;
    std::optional<std::uint64_t> m_lastLine;
    std::optional<std::uint64_t> m_letGoBefore; // lines before this lost their details
    std::size_t m_keptCount = 0;
    std::size_t m_letGoCount = 0;
    std::vector<std::uint8_t> m_scratch; // the raw form of the block being sealed
    std::vector<std::uint8_t> m_packed;  // and its compressed form
    std::unique_ptr<ZSTD_CCtx_s, CompressorDeleter> m_compressor;
    std::unique_ptr<ZSTD_DCtx_s, DecompressorDeleter> m_decompressor;

    // The sealed block read last, decompressed, by its first line.
    mutable std::optional<std::uint64_t> m_cachedFirstLine;
    mutable TrapDetailBlock m_cached;
    mutable std::vector<std::uint8_t> m_readBuffer;
};

} // namespace brellan
