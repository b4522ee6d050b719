#include "textengine/LineInterner.h"

#include "textengine/TokenInterner.h"

#include <QHashFunctions>

#include <bit>

namespace {

std::size_t lineInternerSeededHash(QStringView line)
{
    return qHash(line, QHashSeed::globalSeed());
}

std::uint32_t lineInternerFold(std::size_t hash)
{
    return std::uint32_t(std::uint64_t(hash) ^ (std::uint64_t(hash) >> 32));
}

// The slot an entry's probe starts at: the top bits of its folded hash, spread by a multiplier.
std::size_t lineInternerHome(std::uint32_t folded, std::size_t slotCount)
{
    const int bits = std::countr_zero(slotCount);
    return std::size_t(std::uint32_t(folded * 2654435769u) >> (32 - bits));
}

} // namespace

LineInterner::LineInterner(bool allDecomposed, std::size_t expectedLines, Hash hash)
    : m_hash(hash ? hash : lineInternerSeededHash)
    , m_allDecomposed(allDecomposed)
{
    m_sources.push_back(&m_decompositions);
    std::size_t slots = 16;
    while (slots < 2 * expectedLines)
        slots *= 2;
    m_slots.assign(slots, 0);
    const std::size_t entries = expectedLines + expectedLines / 8;
    m_starts.reserve(entries);
    m_lengths.reserve(entries);
    m_entrySources.reserve(entries);
    if (!allDecomposed)
        m_ids.reserve(entries);
}

void LineInterner::readFrom(const QString *text)
{
    for (std::size_t k = 0; k < m_sources.size(); ++k) {
        if (m_sources[k] == text) {
            m_reading = std::uint8_t(k);
            return;
        }
    }
    m_sources.push_back(text);
    m_reading = std::uint8_t(m_sources.size() - 1);
}

QStringView LineInterner::entryText(std::uint32_t entry) const
{
    return QStringView(*m_sources[m_entrySources[entry]]).mid(m_starts[entry], m_lengths[entry]);
}

std::int64_t LineInterner::find(QStringView line, std::size_t hash) const
{
    const std::uint32_t folded = lineInternerFold(hash);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = lineInternerHome(folded, m_slots.size());; slot = (slot + 1) & mask) {
        const std::uint64_t held = m_slots[slot];
        if (held == 0)
            return -1;
        const auto entry = std::uint32_t(held) - 1;
        if (std::uint32_t(held >> 32) == folded && entryText(entry) == line)
            return entry;
    }
}

void LineInterner::add(std::uint8_t source, qsizetype start, qsizetype length, std::size_t hash, int id)
{
    if (2 * (m_entrySources.size() + 1) > m_slots.size())
        grow();
    const auto entry = std::uint32_t(m_entrySources.size());
    const std::uint32_t folded = lineInternerFold(hash);
    m_starts.push_back(start);
    m_lengths.push_back(length);
    m_entrySources.push_back(source);
    if (!m_allDecomposed)
        m_ids.push_back(id);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = lineInternerHome(folded, m_slots.size());
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = (std::uint64_t(folded) << 32) | (entry + 1);
}

void LineInterner::grow()
{
    std::vector<std::uint64_t> slots(2 * m_slots.size(), 0);
    const std::size_t mask = slots.size() - 1;
    for (const std::uint64_t held : m_slots) {
        if (held == 0)
            continue;
        std::size_t slot = lineInternerHome(std::uint32_t(held >> 32), slots.size());
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = held;
    }
    m_slots = std::move(slots);
}

std::size_t LineInterner::hashOf(qsizetype start, qsizetype length) const
{
    return m_hash(QStringView(*m_sources[m_reading]).mid(start, length));
}

void LineInterner::prefetch(std::size_t hash) const
{
    __builtin_prefetch(m_slots.data() + lineInternerHome(lineInternerFold(hash), m_slots.size()));
}

int LineInterner::id(qsizetype start, qsizetype length)
{
    return id(start, length, hashOf(start, length));
}

int LineInterner::id(qsizetype start, qsizetype length, std::size_t hash)
{
    const QStringView line = QStringView(*m_sources[m_reading]).mid(start, length);
    const std::int64_t known = find(line, hash);
    if (known >= 0)
        return m_allDecomposed ? int(known) : m_ids[std::size_t(known)];
    int result = -1;
    if (!m_allDecomposed && !TokenInterner::isTriviallyDecomposed(line)) {
        // Any line with the same decomposition, whichever its code units, has the id of that
        // decomposition: found as a line that is in NFD already, or as a kept NFD form.
        const QString decomposed = line.toString().normalized(QString::NormalizationForm_D);
        if (QStringView(decomposed) != line) {
            const std::size_t decomposedHash = m_hash(decomposed);
            const std::int64_t equivalent = find(decomposed, decomposedHash);
            if (equivalent >= 0) {
                result = m_ids[std::size_t(equivalent)];
            } else {
                result = m_nextId++;
                const qsizetype at = m_decompositions.size();
                m_decompositions.append(decomposed);
                add(0, at, decomposed.size(), decomposedHash, result);
            }
        }
    }
    if (result < 0)
        result = m_nextId++;
    add(m_reading, start, length, hash, result);
    return result;
}
