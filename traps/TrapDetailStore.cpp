// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapDetailStore.h"

#include <zstd.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace brellan {
namespace {

constexpr std::size_t recordsPerBlock = 4096;
constexpr std::size_t bytesPerBlock = std::size_t{256} << 10;
// zstd's fastest level: on a block of typical traps 13 bytes a trap in a
// quarter of a microsecond, where level 3 takes half as long again for 1 %
// less (the flood's time is the GUI thread's).
constexpr int compressionLevel = 1;
// What a sealed block takes: counted in whole pages of 4 KiB with its
// bookkeeping, as the allocator gives large blocks (those of incompressible
// traps) whole pages of their own.
std::size_t sealedCost(std::size_t compressedCapacity, std::size_t bookkeeping)
{
    constexpr std::size_t page = 4096;
    return (compressedCapacity + bookkeeping + page - 1) / page * page;
}

} // namespace

void TrapDetailStore::CompressorDeleter::operator()(ZSTD_CCtx* context) const
{
    ZSTD_freeCCtx(context);
}

void TrapDetailStore::DecompressorDeleter::operator()(ZSTD_DCtx* context) const
{
    ZSTD_freeDCtx(context);
}

TrapDetailStore::TrapDetailStore(std::size_t budgetBytes)
    : m_budget(budgetBytes), m_compressor(ZSTD_createCCtx()), m_decompressor(ZSTD_createDCtx())
{
    if (!m_compressor || !m_decompressor)
        throw std::bad_alloc();
}

TrapDetailStore::~TrapDetailStore() = default;

void TrapDetailStore::keep(std::size_t line, const ReceivedTrap& trap)
{
    if (m_lastLine && line <= *m_lastLine)
        throw std::invalid_argument("trap details are kept in line order; line " + std::to_string(line)
                                    + " is not after line " + std::to_string(*m_lastLine));
    m_open.append(line, trap);
    m_lastLine = line;
    ++m_keptCount;
    if (m_open.records.size() >= recordsPerBlock || m_open.bytes.size() >= bytesPerBlock)
        seal();
}

// Compresses the open block into a sealed one of exactly its compressed
// size, then lets the oldest go while the whole is over the budget.
void TrapDetailStore::seal()
{
    m_open.write(m_scratch);
    m_packed.resize(ZSTD_compressBound(m_scratch.size()));
    const std::size_t packed = ZSTD_compressCCtx(m_compressor.get(), m_packed.data(), m_packed.size(),
                                                 m_scratch.data(), m_scratch.size(), compressionLevel);
    if (ZSTD_isError(packed))
        throw std::runtime_error(std::string("could not compress trap details: ") + ZSTD_getErrorName(packed));
    Sealed sealed;
    sealed.firstLine = m_open.records.front().line;
    sealed.lastLine = m_open.records.back().line;
    sealed.records = m_open.records.size();
    sealed.rawSize = m_scratch.size();
    sealed.compressed.assign(m_packed.begin(), m_packed.begin() + static_cast<std::ptrdiff_t>(packed));
    m_sealedBytes += sealedCost(sealed.compressed.capacity(), sizeof(Sealed));
    m_sealed.push_back(std::move(sealed));
    m_open.clear();
    while (memoryBytes() > m_budget && !m_sealed.empty())
        letGoOldest();
}

void TrapDetailStore::letGoOldest()
{
    const Sealed& oldest = m_sealed.front();
    m_letGoBefore = oldest.lastLine + 1;
    m_keptCount -= oldest.records;
    m_letGoCount += oldest.records;
    m_sealedBytes -= sealedCost(oldest.compressed.capacity(), sizeof(Sealed));
    if (m_cachedFirstLine == oldest.firstLine)
        m_cachedFirstLine.reset();
    m_sealed.pop_front();
}

std::size_t TrapDetailStore::memoryBytes() const
{
    return sizeof(*this) + m_sealedBytes + m_open.capacityBytes() + m_cached.capacityBytes() + m_scratch.capacity()
           + m_packed.capacity() + m_readBuffer.capacity() + ZSTD_sizeof_CCtx(m_compressor.get())
           + ZSTD_sizeof_DCtx(m_decompressor.get());
}

TrapDetailStore::Found TrapDetailStore::find(std::size_t line) const
{
    const View found = view(line);
    if (found.state != State::Kept)
        return {found.state, std::nullopt};
    return {State::Kept, found.block->trap(*found.record)};
}

TrapDetailStore::View TrapDetailStore::view(std::size_t line) const
{
    if (m_letGoBefore && line < *m_letGoBefore)
        return {State::LetGo};
    const TrapDetailBlock* block = nullptr;
    if (!m_open.empty() && line >= m_open.records.front().line) {
        block = &m_open;
    } else {
        // The last sealed block that starts at or before the line.
        const auto after = std::upper_bound(m_sealed.begin(), m_sealed.end(), line,
                                            [](std::uint64_t wanted, const Sealed& sealed) {
                                                return wanted < sealed.firstLine;
                                            });
        if (after != m_sealed.begin() && line <= std::prev(after)->lastLine)
            block = &readSealed(*std::prev(after));
    }
    const TrapDetailBlock::Record* record = block ? block->find(line) : nullptr;
    if (!record)
        return {State::NeverKept};
    return {State::Kept, block, record};
}

const TrapDetailBlock& TrapDetailStore::readSealed(const Sealed& sealed) const
{
    if (m_cachedFirstLine == sealed.firstLine)
        return m_cached;
    m_cachedFirstLine.reset();
    m_readBuffer.resize(sealed.rawSize);
    const std::size_t size = ZSTD_decompressDCtx(m_decompressor.get(), m_readBuffer.data(), m_readBuffer.size(),
                                                  sealed.compressed.data(), sealed.compressed.size());
    if (ZSTD_isError(size) || size != sealed.rawSize)
        throw std::runtime_error("a block of kept traps does not decompress whole");
    TrapDetailBlock::read(m_readBuffer, sealed.firstLine, m_cached); // into the memory of the block read before
    m_cachedFirstLine = sealed.firstLine;
    return m_cached;
}

} // namespace brellan
