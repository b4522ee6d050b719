#include "textengine/SuffixLcsTable.h"

#include <algorithm>
#include <bit>
#include <cmath>

SuffixLcsTable::SuffixLcsTable(const std::vector<int> &a, const std::vector<int> &b,
                               std::size_t fullTableBitBudget)
    : m_a(a)
    , m_rows(a.size())
    , m_columns(b.size())
    , m_words((b.size() + 63) / 64)
{
    int symbols = 0;
    for (int s : a)
        symbols = std::max(symbols, s + 1);
    for (int s : b)
        symbols = std::max(symbols, s + 1);

    m_occurrenceStart.assign(std::size_t(symbols) + 1, 0);
    for (int s : b)
        ++m_occurrenceStart[std::size_t(s) + 1];
    for (std::size_t s = 1; s < m_occurrenceStart.size(); ++s)
        m_occurrenceStart[s] += m_occurrenceStart[s - 1];
    m_occurrences.resize(m_columns);
    std::vector<std::uint32_t> fill(m_occurrenceStart.begin(), m_occurrenceStart.end() - 1);
    for (std::size_t c = 0; c < m_columns; ++c) {
        const int s = b[m_columns - 1 - c];
        m_occurrences[fill[std::size_t(s)]++] = std::uint32_t(c);
    }
    m_mask.assign(m_words, 0);

    const double bits = double(m_rows + 1) * double(m_words) * 64.0;
    if (bits > double(fullTableBitBudget))
        m_every = std::max<std::size_t>(2, std::size_t(std::ceil(std::sqrt(double(m_rows + 1)))));

    const std::size_t keptRows = m_rows / m_every + 1;
    // Left uninitialised: every kept row is written once below (no pass over the whole table).
    m_stored.reset(new std::uint64_t[keptRows * m_words]);
    std::fill_n(m_stored.get(), m_words, ~std::uint64_t(0));
    if (m_every == 1) {
        for (std::size_t r = 1; r <= m_rows; ++r) {
            std::copy_n(m_stored.get() + (r - 1) * m_words, m_words, m_stored.get() + r * m_words);
            advanceRow(m_stored.get() + r * m_words, r);
        }
    } else {
        std::vector<std::uint64_t> current(m_words, ~std::uint64_t(0));
        for (std::size_t r = 1; r <= m_rows; ++r) {
            advanceRow(current.data(), r);
            if (r % m_every == 0)
                std::copy(current.begin(), current.end(), m_stored.get() + (r / m_every) * m_words);
        }
    }
    if (m_every > 1)
        m_block.assign((m_every + 1) * m_words, 0);
}

// V' = (V + (V & M)) | (V & ~M) over the multi-word row; the carry runs towards higher columns.
void SuffixLcsTable::advanceRow(std::uint64_t *row, std::size_t r) const
{
    if (m_words == 0)
        return;
    const int symbol = m_a[m_rows - r];
    const std::uint32_t *first = m_occurrences.data() + m_occurrenceStart[std::size_t(symbol)];
    const std::uint32_t *last = m_occurrences.data() + m_occurrenceStart[std::size_t(symbol) + 1];
    if (first == last)
        return; // no match anywhere: V' = V
    for (const std::uint32_t *p = first; p != last; ++p)
        m_mask[*p >> 6] |= std::uint64_t(1) << (*p & 63);
    std::uint64_t carry = 0;
    for (std::size_t k = 0; k < m_words; ++k) {
        const std::uint64_t v = row[k];
        const std::uint64_t u = v & m_mask[k];
        const std::uint64_t sum1 = v + u;
        const std::uint64_t carry1 = sum1 < v ? 1 : 0;
        const std::uint64_t sum = sum1 + carry;
        const std::uint64_t carry2 = sum < sum1 ? 1 : 0;
        carry = carry1 | carry2;
        row[k] = sum | (v & ~m_mask[k]);
    }
    for (const std::uint32_t *p = first; p != last; ++p)
        m_mask[*p >> 6] = 0;
}

const std::uint64_t *SuffixLcsTable::row(std::size_t r)
{
    if (m_every == 1)
        return m_stored.get() + r * m_words;
    if (r % m_every == 0)
        return m_stored.get() + (r / m_every) * m_words;
    if (m_blockBase == SIZE_MAX || r < m_blockBase || r > m_blockBase + m_every) {
        // Rows r and r - 1 are asked for together, so the block starts at or below r - 1.
        m_blockBase = ((r - 1) / m_every) * m_every;
        std::copy_n(m_stored.get() + (m_blockBase / m_every) * m_words, m_words, m_block.begin());
        for (std::size_t k = 1; k <= m_every && m_blockBase + k <= m_rows; ++k) {
            std::copy_n(m_block.begin() + std::ptrdiff_t((k - 1) * m_words), m_words,
                        m_block.begin() + std::ptrdiff_t(k * m_words));
            advanceRow(m_block.data() + k * m_words, m_blockBase + k);
        }
    }
    return m_block.data() + (r - m_blockBase) * m_words;
}

std::int64_t SuffixLcsTable::value(std::size_t i, std::size_t j)
{
    const std::size_t bits = m_columns - j;
    if (i >= m_rows || bits == 0)
        return 0;
    const std::uint64_t *v = row(m_rows - i);
    const std::size_t full = bits / 64;
    std::int64_t ones = 0;
    for (std::size_t k = 0; k < full; ++k)
        ones += std::popcount(v[k]);
    if (const std::size_t rest = bits % 64)
        ones += std::popcount(v[full] & ((std::uint64_t(1) << rest) - 1));
    return std::int64_t(bits) - ones;
}
