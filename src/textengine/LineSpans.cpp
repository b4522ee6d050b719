#include "textengine/LineSpans.h"

LineSpans::LineSpans(QStringView text, LineSplit split)
    : m_end(text.size())
    , m_split(split)
{
    forEachLineStart(text, split, 0, [this](qsizetype start) { m_starts.push_back(start); });
}

void LineSpans::replace(std::size_t front, std::size_t back, QStringView newText, qsizetype cutFrom, qsizetype cutTo,
                        qsizetype shift)
{
    OffsetColumn starts;
    starts.reserve(m_starts.size() - (back - front) + 16);
    for (std::size_t k = 0; k < front; ++k)
        starts.push_back(m_starts[k]);
    forEachLineStart(newText.mid(cutFrom, cutTo - cutFrom), m_split, cutFrom,
                     [&starts](qsizetype start) { starts.push_back(start); });
    for (std::size_t k = back; k < m_starts.size(); ++k)
        starts.push_back(m_starts[k] + shift);
    m_starts = std::move(starts);
    m_end = newText.size();
}

std::vector<TokenSpan> splitLines(QStringView text, LineSplit split, qsizetype offset)
{
    std::vector<TokenSpan> spans;
    forEachLineStart(text, split, offset, [&spans](qsizetype start) {
        if (!spans.empty())
            spans.back().end = start;
        spans.push_back({start, start});
    });
    for (std::size_t k = 0; k + 1 < spans.size(); ++k) {
        if (split == LineSplit::AtSeparators)
            --spans[k].end;
    }
    if (!spans.empty())
        spans.back().end = offset + text.size();
    return spans;
}
