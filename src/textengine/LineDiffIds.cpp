#include "textengine/LineDiffIds.h"

#include <QHash>

#include <bit>
#include <utility>

namespace {

// A side's token ids: the line's id while its break is of the most common kind, else an id of
// its own for each line text and kind of break.
std::vector<int> lineDiffIdsOfSide(const ComparedLines::Side &side, int usualKind,
                                   QHash<std::pair<int, int>, int> &others, int &nextId)
{
    std::vector<int> ids(side.ids.begin(), side.ids.begin() + std::ptrdiff_t(side.diffCount()));
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const int kind = side.breaks[k];
        if (kind == usualKind)
            continue;
        const auto key = std::pair{ids[k], kind};
        auto found = others.constFind(key);
        if (found == others.cend())
            found = others.insert(key, nextId++);
        ids[k] = *found;
    }
    return ids;
}

} // namespace

LineDiffIds::LineDiffIds(const ComparedLines &cut)
    : m_cut(cut)
    , m_idCount(cut.idCount)
{
    const std::uint8_t kinds = cut.original.breakKinds | cut.edited.breakKinds;
    m_oneKind = std::popcount(unsigned(kinds)) <= 1;
    m_usualKind = kinds == 0 ? 1 : std::countr_zero(unsigned(kinds)) + 1;
    if (!m_oneKind)
        make();
}

void LineDiffIds::make()
{
    if (!m_a.empty() || !m_b.empty() || (m_cut.original.diffCount() == 0 && m_cut.edited.diffCount() == 0))
        return;
    QHash<std::pair<int, int>, int> others;
    m_idCount = m_cut.idCount;
    m_a = lineDiffIdsOfSide(m_cut.original, m_usualKind, others, m_idCount);
    m_b = lineDiffIdsOfSide(m_cut.edited, m_usualKind, others, m_idCount);
}

std::span<const int> LineDiffIds::original()
{
    make();
    return m_a;
}

std::span<const int> LineDiffIds::edited()
{
    make();
    return m_b;
}

int LineDiffIds::idCount()
{
    make();
    return m_idCount;
}

void LineDiffIds::release()
{
    m_a = {};
    m_b = {};
}
