#include "textengine/LineSpans.h"

#include <algorithm>

LineSpans::LineSpans(QStringView text, LineSplit split)
    : m_end(text.size())
    , m_split(split)
{
    forEachLineStart(text, split, 0, [this](qsizetype start) { m_starts.push_back(start); });
}

std::optional<LineSpans> LineSpans::cut(QStringView text, LineSplit split, const std::atomic<bool> *cancelled)
{
    LineSpans spans(split);
    const qsizetype length = text.size();
    spans.m_end = length;
    if (split == LineSplit::AtSeparators || length > 0)
        spans.m_starts.push_back(0);
    // Pieces small enough that the search for "\r" leaves them in the cache for the next pass.
    constexpr qsizetype piece = qsizetype(1) << 18;
    for (qsizetype from = 0; from < length; from += piece) {
        if ((from / piece) % 16 == 0 && cancelled && cancelled->load(std::memory_order_relaxed))
            return std::nullopt;
        const QStringView part = text.mid(from, std::min(piece, length - from));
        if (split == LineSplit::AtSeparators || !part.contains(u'\r')) {
            for (qsizetype next = part.indexOf(u'\n'); next >= 0; next = part.indexOf(u'\n', next + 1)) {
                const qsizetype start = from + next + 1;
                if (split == LineSplit::AtSeparators || start < length)
                    spans.m_starts.push_back(start);
            }
            continue;
        }
        // As forEachLineStart: "\r\n" ends a line after its "\n", a lone "\r" ends one too.
        for (qsizetype k = 0; k < part.size(); ++k) {
            const char16_t c = part[k].unicode();
            const qsizetype at = from + k;
            if (at + 1 >= length || (c == u'\r' && text[at + 1] == u'\n'))
                continue;
            if (c == u'\n' || c == u'\r')
                spans.m_starts.push_back(at + 1);
        }
    }
    return spans;
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
