#include "textengine/LineSpans.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Calls found(at) for each "\n" and "\r" in units[from, to), in order: eight code units at a
// time where the processor allows.
template<typename Found>
void lineSpansEachBreak(const char16_t *units, qsizetype from, qsizetype to, Found &&found)
{
    qsizetype at = from;
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi16(0x0A);
    const __m128i carriageReturn = _mm_set1_epi16(0x0D);
    for (; at + 8 <= to; at += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + at));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(block, lineFeed), _mm_cmpeq_epi16(block, carriageReturn));
        // Two bits per code unit.
        auto mask = unsigned(_mm_movemask_epi8(hits));
        while (mask != 0) {
            const int bit = std::countr_zero(mask);
            found(at + bit / 2);
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; at < to; ++at) {
        if (units[at] == u'\n' || units[at] == u'\r')
            found(at);
    }
}

} // namespace

LineSpans::LineSpans(QStringView text, LineSplit split)
    : m_end(text.size())
    , m_split(split)
{
    forEachLineStart(text, split, 0, [this](qsizetype start) { m_starts.push_back(start); });
}

std::optional<LineSpans> LineSpans::cut(QStringView text, LineSplit split, const std::atomic<bool> *cancelled,
                                        const LineCutExtras &extras)
{
    LineSpans spans(split);
    const qsizetype length = text.size();
    spans.m_end = length;
    if (split == LineSplit::AtSeparators || length > 0)
        spans.m_starts.push_back(0);
    std::vector<std::uint8_t> *breaks = extras.breaks;
    if (breaks)
        breaks->clear();
    const char16_t *units = text.utf16();
    // As forEachLineStart: a "\n" ends a line; when keeping breaks, so does a "\r" that no "\n"
    // follows, and a break at the very end starts no line.
    auto found = [&](qsizetype at) {
        const char16_t unit = units[at];
        if (split == LineSplit::AtSeparators) {
            if (unit == u'\n') {
                spans.m_starts.push_back(at + 1);
                if (breaks)
                    breaks->push_back(1);
            }
            return;
        }
        if (unit == u'\r' && at + 1 < length && units[at + 1] == u'\n')
            return;
        if (breaks)
            breaks->push_back(unit == u'\r' ? 3 : (at > 0 && units[at - 1] == u'\r' ? 2 : 1));
        if (at + 1 < length)
            spans.m_starts.push_back(at + 1);
    };
    constexpr qsizetype piece = qsizetype(1) << 16;
    for (qsizetype from = 0; from < length; from += piece) {
        if ((from / piece) % 64 == 0 && cancelled && cancelled->load(std::memory_order_relaxed))
            return std::nullopt;
        const qsizetype to = std::min(length, from + piece);
        lineSpansEachBreak(units, from, to, found);
        if (extras.piece)
            extras.piece(text.mid(from, to - from));
    }
    // The last line has no break of its own unless the text ends with one.
    if (breaks && breaks->size() < spans.size())
        breaks->push_back(0);
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
