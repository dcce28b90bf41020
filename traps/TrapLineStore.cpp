// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapLineStore.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace brellan {

void TrapLineStore::append(std::string_view line)
{
    const std::size_t slot = m_size % linesPerBlock;
    if (slot == 0)
        m_blocks.push_back(std::make_unique<Block>());
    Block& block = *m_blocks.back();
    if (line.size() > std::numeric_limits<std::uint32_t>::max() - block.text.size())
        throw std::length_error("a block of trap lines cannot hold more than 4 GiB of text");
    block.text.append(line);
    block.ends[slot] = static_cast<std::uint32_t>(block.text.size());
    ++m_size;
    if (slot == linesPerBlock - 1)
        block.text.shrink_to_fit(); // full: keep no room for lines it will never take
}

std::string_view TrapLineStore::line(std::size_t index) const
{
    if (index >= m_size)
        throw std::out_of_range("no trap line " + std::to_string(index));
    const Block& block = *m_blocks[index / linesPerBlock];
    const std::size_t slot = index % linesPerBlock;
    const std::size_t begin = slot == 0 ? 0 : block.ends[slot - 1];
    return std::string_view(block.text).substr(begin, block.ends[slot] - begin);
}

TrapLineStore::Run TrapLineStore::runOf(std::size_t index) const
{
    if (index >= m_size)
        throw std::out_of_range("no trap line " + std::to_string(index));
    const std::size_t first = index - index % linesPerBlock;
    return {first, std::min(linesPerBlock, m_size - first), m_blocks[index / linesPerBlock]->text};
}

} // namespace brellan
