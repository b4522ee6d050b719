#pragma once

#include "textengine/ComparedLines.h"

#include <cstddef>
#include <span>
#include <vector>

// The ids of the diff's tokens, which are lines with their breaks, beside the lines' own ids
// (the alignment's, which compare lines without their breaks). While every break of both texts
// is of one kind, the lines' ids tell the tokens apart too, but for a last line without a break,
// which only equals the other text's last line without a break. Ids of their own, one for each
// line text and kind of break, are made when the texts mix kinds of break, or when asked for.
class LineDiffIds {
public:
    explicit LineDiffIds(const ComparedLines &cut);

    // Whether every break of both texts is of one kind.
    bool oneKind() const { return m_oneKind; }
    // Whether original token i equals edited token j.
    bool equal(std::size_t i, std::size_t j) const
    {
        if (!m_a.empty() || !m_b.empty())
            return m_a[i] == m_b[j];
        return m_cut.original.ids[i] == m_cut.edited.ids[j] && lastWithoutBreak(m_cut.original, i)
                                                                  == lastWithoutBreak(m_cut.edited, j);
    }
    // The tokens' own ids (equal ids, equal tokens), in [0, idCount()); made on first use.
    std::span<const int> original();
    std::span<const int> edited();
    int idCount();
    // Drops the ids made.
    void release();

private:
    static bool lastWithoutBreak(const ComparedLines::Side &side, std::size_t k)
    {
        return !side.endsWithBreak() && k + 1 == side.diffCount();
    }
    void make();

    const ComparedLines &m_cut;
    bool m_oneKind = true;
    int m_usualKind = 1;
    std::vector<int> m_a;
    std::vector<int> m_b;
    int m_idCount = 0;
};
