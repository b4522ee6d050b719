#include "textengine/SuffixLcsTable.h"

#include <algorithm>
#include <bit>
#include <cmath>

SuffixLcsTable::SuffixLcsTable(const std::vector<int> &a, const std::vector<int> &b,
                               std::size_t fullTableBitBudget)
    : a_(a)
    , n_(a.size())
    , m_(b.size())
    , words_((b.size() + 63) / 64)
{
    int symbols = 0;
    for (int s : a)
        symbols = std::max(symbols, s + 1);
    for (int s : b)
        symbols = std::max(symbols, s + 1);

    occurrenceStart_.assign(std::size_t(symbols) + 1, 0);
    for (int s : b)
        ++occurrenceStart_[std::size_t(s) + 1];
    for (std::size_t s = 1; s < occurrenceStart_.size(); ++s)
        occurrenceStart_[s] += occurrenceStart_[s - 1];
    occurrences_.resize(m_);
    std::vector<std::uint32_t> fill(occurrenceStart_.begin(), occurrenceStart_.end() - 1);
    for (std::size_t c = 0; c < m_; ++c) {
        const int s = b[m_ - 1 - c];
        occurrences_[fill[std::size_t(s)]++] = std::uint32_t(c);
    }
    mask_.assign(words_, 0);

    const double bits = double(n_ + 1) * double(words_) * 64.0;
    if (bits > double(fullTableBitBudget))
        every_ = std::max<std::size_t>(2, std::size_t(std::ceil(std::sqrt(double(n_ + 1)))));

    const std::size_t keptRows = n_ / every_ + 1;
    // Left uninitialised: every kept row is written once below (no pass over the whole table).
    stored_.reset(new std::uint64_t[keptRows * words_]);
    std::fill_n(stored_.get(), words_, ~std::uint64_t(0));
    if (every_ == 1) {
        for (std::size_t r = 1; r <= n_; ++r) {
            std::copy_n(stored_.get() + (r - 1) * words_, words_, stored_.get() + r * words_);
            advanceRow(stored_.get() + r * words_, r);
        }
    } else {
        std::vector<std::uint64_t> current(words_, ~std::uint64_t(0));
        for (std::size_t r = 1; r <= n_; ++r) {
            advanceRow(current.data(), r);
            if (r % every_ == 0)
                std::copy(current.begin(), current.end(), stored_.get() + (r / every_) * words_);
        }
    }
    if (every_ > 1)
        block_.assign((every_ + 1) * words_, 0);
}

// V' = (V + (V & M)) | (V & ~M) over the multi-word row; the carry runs towards higher columns.
void SuffixLcsTable::advanceRow(std::uint64_t *row, std::size_t r) const
{
    if (words_ == 0)
        return;
    const int symbol = a_[n_ - r];
    const std::uint32_t *first = occurrences_.data() + occurrenceStart_[std::size_t(symbol)];
    const std::uint32_t *last = occurrences_.data() + occurrenceStart_[std::size_t(symbol) + 1];
    if (first == last)
        return; // no match anywhere: V' = V
    for (const std::uint32_t *p = first; p != last; ++p)
        mask_[*p >> 6] |= std::uint64_t(1) << (*p & 63);
    std::uint64_t carry = 0;
    for (std::size_t k = 0; k < words_; ++k) {
        const std::uint64_t v = row[k];
        const std::uint64_t u = v & mask_[k];
        const std::uint64_t sum1 = v + u;
        const std::uint64_t carry1 = sum1 < v ? 1 : 0;
        const std::uint64_t sum = sum1 + carry;
        const std::uint64_t carry2 = sum < sum1 ? 1 : 0;
        carry = carry1 | carry2;
        row[k] = sum | (v & ~mask_[k]);
    }
    for (const std::uint32_t *p = first; p != last; ++p)
        mask_[*p >> 6] = 0;
}

const std::uint64_t *SuffixLcsTable::row(std::size_t r)
{
    if (every_ == 1)
        return stored_.get() + r * words_;
    if (r % every_ == 0)
        return stored_.get() + (r / every_) * words_;
    if (blockBase_ == SIZE_MAX || r < blockBase_ || r > blockBase_ + every_) {
        // Rows r and r - 1 are asked for together, so the block starts at or below r - 1.
        blockBase_ = ((r - 1) / every_) * every_;
        std::copy_n(stored_.get() + (blockBase_ / every_) * words_, words_, block_.begin());
        for (std::size_t k = 1; k <= every_ && blockBase_ + k <= n_; ++k) {
            std::copy_n(block_.begin() + std::ptrdiff_t((k - 1) * words_), words_,
                        block_.begin() + std::ptrdiff_t(k * words_));
            advanceRow(block_.data() + k * words_, blockBase_ + k);
        }
    }
    return block_.data() + (r - blockBase_) * words_;
}

std::int64_t SuffixLcsTable::value(std::size_t i, std::size_t j)
{
    const std::size_t bits = m_ - j;
    if (i >= n_ || bits == 0)
        return 0;
    const std::uint64_t *v = row(n_ - i);
    const std::size_t full = bits / 64;
    std::int64_t ones = 0;
    for (std::size_t k = 0; k < full; ++k)
        ones += std::popcount(v[k]);
    if (const std::size_t rest = bits % 64)
        ones += std::popcount(v[full] & ((std::uint64_t(1) << rest) - 1));
    return std::int64_t(bits) - ones;
}
