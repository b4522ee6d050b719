#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

// Non-negative code-unit offsets in four bytes each while they stay below 2^32, the common case
// by far; a fifth byte per value is added for all of them once one goes beyond.
class OffsetColumn {
public:
    std::size_t size() const { return m_low.size(); }
    bool empty() const { return m_low.empty(); }
    void reserve(std::size_t count) { m_low.reserve(count); }
    void clear()
    {
        m_low.clear();
        m_high.clear();
    }

    qsizetype operator[](std::size_t k) const
    {
        const qsizetype low = qsizetype(m_low[k]);
        return m_high.empty() ? low : low | (qsizetype(m_high[k]) << 32);
    }

    void push_back(qsizetype value)
    {
        const auto v = std::uint64_t(value);
        if (v >> 32 && m_high.empty())
            m_high.assign(m_low.size(), 0);
        m_low.push_back(std::uint32_t(v));
        if (!m_high.empty())
            m_high.push_back(std::uint8_t(v >> 32));
    }

private:
    std::vector<std::uint32_t> m_low;
    std::vector<std::uint8_t> m_high;
};
