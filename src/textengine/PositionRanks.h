#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

// A set of positions 0, 1, 2, ... marked one at a time, and for any position the number of marked
// positions before it: a bit a position and a count every 64, about two bits a position.
class PositionRanks {
public:
    void push(bool marked)
    {
        const std::size_t bit = m_size % 64;
        if (bit == 0) {
            m_before.push_back(m_marked);
            m_words.push_back(0);
        }
        if (marked) {
            m_words.back() |= std::uint64_t(1) << bit;
            ++m_marked;
        }
        ++m_size;
    }

    // Marked positions in [0, position); position <= size().
    std::size_t rank(std::size_t position) const
    {
        if (position == m_size)
            return m_marked;
        const std::size_t word = position / 64;
        const std::uint64_t below = (std::uint64_t(1) << (position % 64)) - 1;
        return m_before[word] + std::size_t(std::popcount(m_words[word] & below));
    }

    std::size_t size() const { return m_size; }
    std::size_t marked() const { return m_marked; }

private:
    std::vector<std::uint64_t> m_words;
    std::vector<std::size_t> m_before;
    std::size_t m_size = 0;
    std::size_t m_marked = 0;
};
