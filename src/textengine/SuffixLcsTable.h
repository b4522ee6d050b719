#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The longest-common-subsequence table of two sequences of integer token ids, read as
// t(i, j) = LCS length of a[i..n) and b[j..m), without storing (n+1)(m+1) integers.
//
// The rows are bit-parallel rows over the reversed sequences (Crochemore et al.): row r holds
// the m bits of V_r, and a zero bit c says that the prefix LCS grows at column c, so
// t(i, j) = number of zero bits among the first m - j bits of row n - i. That is n*m bits
// instead of 32*n*m, and the rows are filled 64 cells at a time.
//
// Above the given bit budget only every k-th row is kept (k about sqrt(n)) and the rows of a
// block are recomputed when a walk first needs them. The values are the same either way, so
// a walk over this table gives identical results whatever the size.
class SuffixLcsTable {
public:
    SuffixLcsTable(const std::vector<int> &a, const std::vector<int> &b, std::size_t fullTableBitBudget);

    std::size_t rows() const { return m_rows; }
    std::size_t columns() const { return m_columns; }

    // t(i, j) for 0 <= i <= n, 0 <= j <= m. Walks should move i upwards; each block of rows
    // is then recomputed at most once.
    std::int64_t value(std::size_t i, std::size_t j);

    bool keepsEveryRow() const { return m_every == 1; }

private:
    void advanceRow(std::uint64_t *row, std::size_t symbolRow) const;
    const std::uint64_t *row(std::size_t r);

    const std::vector<int> &m_a;
    std::size_t m_rows = 0;
    std::size_t m_columns = 0;
    std::size_t m_words = 0;
    std::size_t m_every = 1;
    // Positions of each symbol in reversed b, grouped by symbol (compressed rows).
    std::vector<std::uint32_t> m_occurrenceStart;
    std::vector<std::uint32_t> m_occurrences;
    std::unique_ptr<std::uint64_t[]> m_stored; // every row, or every k-th row
    std::vector<std::uint64_t> m_block;       // rows [m_blockBase, m_blockBase + m_every] when checkpointed
    std::size_t m_blockBase = SIZE_MAX;
    mutable std::vector<std::uint64_t> m_mask;
};
