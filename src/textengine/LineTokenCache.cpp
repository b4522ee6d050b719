#include "textengine/LineTokenCache.h"

#include <algorithm>

namespace {

// After this many code units of copied lines the cache starts afresh.
constexpr qsizetype copiedUnitLimit = qsizetype(1) << 20;

qsizetype commonPrefix(QStringView a, QStringView b)
{
    const qsizetype length = std::min(a.size(), b.size());
    const char16_t *p = a.utf16();
    const char16_t *q = b.utf16();
    qsizetype k = 0;
    // Blocks first: most keystrokes change one place in a long text.
    constexpr qsizetype block = 256;
    while (k + block <= length && std::equal(p + k, p + k + block, q + k))
        k += block;
    while (k < length && p[k] == q[k])
        ++k;
    return k;
}

qsizetype commonSuffix(QStringView a, QStringView b, qsizetype limit)
{
    const char16_t *p = a.utf16() + a.size();
    const char16_t *q = b.utf16() + b.size();
    qsizetype k = 0;
    constexpr qsizetype block = 256;
    while (k + block <= limit && std::equal(p - k - block, p - k, q - k - block))
        k += block;
    while (k < limit && p[-k - 1] == q[-k - 1])
        ++k;
    return k;
}

std::vector<int> intern(TokenInterner &interner, QStringView text, const std::vector<TokenSpan> &spans)
{
    std::vector<int> ids;
    ids.reserve(spans.size());
    for (const TokenSpan &span : spans)
        ids.push_back(interner.id(text.mid(span.start, span.end - span.start)));
    return ids;
}

} // namespace

std::vector<TokenSpan> splitLines(QStringView text, LineSplit split, qsizetype offset)
{
    std::vector<TokenSpan> spans;
    const qsizetype length = text.size();
    if (split == LineSplit::AtSeparators) {
        qsizetype start = 0;
        for (qsizetype next = text.indexOf(u'\n'); next >= 0; next = text.indexOf(u'\n', start)) {
            spans.push_back({offset + start, offset + next});
            start = next + 1;
        }
        spans.push_back({offset + start, offset + length});
        return spans;
    }
    // Control characters always stand alone as grapheme clusters (or as the pair "\r\n"), so
    // the line ends can be found on code units.
    qsizetype start = 0;
    if (!text.contains(u'\r')) {
        // Most texts: only "\n" ends lines, found by the library's vectorised search.
        for (qsizetype next = text.indexOf(u'\n'); next >= 0; next = text.indexOf(u'\n', start)) {
            spans.push_back({offset + start, offset + next + 1});
            start = next + 1;
        }
        if (start < length)
            spans.push_back({offset + start, offset + length});
        return spans;
    }
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && i + 1 < length && text.at(i + 1) == u'\n')
            continue;
        if (c == u'\n' || c == u'\r') {
            spans.push_back({offset + start, offset + i + 1});
            start = i + 1;
        }
    }
    if (start < length)
        spans.push_back({offset + start, offset + length});
    return spans;
}

const LineTokenCache::Tokens &LineTokenCache::tokens(const QString &original, const QString &edited)
{
    const bool reusable = m_valid && m_copiedUnits <= copiedUnitLimit && original == m_original;
    if (!reusable || !update(edited))
        rebuild(original, edited);
    return m_tokens;
}

void LineTokenCache::rebuild(const QString &original, const QString &edited)
{
    m_original = original;
    m_firstEdited = edited;
    m_edited = edited;
    m_lineCopies.clear();
    m_copiedUnits = 0;
    m_tokens.decomposed = TokenInterner::isTriviallyDecomposed(original) && TokenInterner::isTriviallyDecomposed(edited);
    m_tokens.originalSpans = splitLines(m_original, m_split);
    m_tokens.editedSpans = splitLines(m_firstEdited, m_split);
    m_interner = std::make_unique<TokenInterner>(
        m_tokens.decomposed, qsizetype(m_tokens.originalSpans.size() + m_tokens.editedSpans.size()));
    m_tokens.originalIds = intern(*m_interner, m_original, m_tokens.originalSpans);
    m_tokens.editedIds = intern(*m_interner, m_firstEdited, m_tokens.editedSpans);
    m_valid = true;
}

// A line's cut and text depend on the code units from the one before it to the one after it
// (the break that ends the line before, its own break, and whether a "\r" is followed by "\n").
// Lines whose neighbourhood lies wholly in the common head or the common tail are the same
// lines in the new text. Returns false when the cache must start afresh.
bool LineTokenCache::update(const QString &edited)
{
    if (edited == m_edited)
        return true;
    const qsizetype oldLength = m_edited.size();
    const qsizetype newLength = edited.size();
    const qsizetype head = commonPrefix(m_edited, edited);
    const qsizetype tail = commonSuffix(m_edited, edited, std::min(oldLength, newLength) - head);
    const qsizetype shift = newLength - oldLength;
    std::vector<TokenSpan> &spans = m_tokens.editedSpans;
    std::vector<int> &ids = m_tokens.editedIds;

    const auto keptHeadEnd = std::partition_point(spans.begin(), spans.end(),
                                                  [&](const TokenSpan &s) { return s.end + 1 <= head; });
    const auto keptTailBegin = std::partition_point(keptHeadEnd, spans.end(),
                                                    [&](const TokenSpan &s) { return s.start - 1 < oldLength - tail; });
    const std::size_t front = std::size_t(keptHeadEnd - spans.begin());
    const std::size_t back = std::size_t(keptTailBegin - spans.begin());
    const bool breaksIncluded = m_split == LineSplit::KeepingBreaks;
    const qsizetype cutFrom = front == 0 ? 0 : spans[front - 1].end + (breaksIncluded ? 0 : 1);
    const qsizetype cutTo = back == spans.size() ? newLength : spans[back].start + shift - (breaksIncluded ? 0 : 1);
    const QStringView cut = QStringView(edited).mid(cutFrom, cutTo - cutFrom);
    if (m_tokens.decomposed && !TokenInterner::isTriviallyDecomposed(cut))
        return false;

    std::vector<TokenSpan> middle = splitLines(cut, m_split, cutFrom);
    std::vector<int> middleIds;
    middleIds.reserve(middle.size());
    for (const TokenSpan &span : middle) {
        // The interner keeps views: each new line is kept as its own copy.
        m_lineCopies.push_back(edited.mid(span.start, span.end - span.start));
        m_copiedUnits += m_lineCopies.back().size();
        middleIds.push_back(m_interner->id(m_lineCopies.back()));
    }
    for (std::size_t k = back; k < spans.size(); ++k) {
        spans[k].start += shift;
        spans[k].end += shift;
    }
    spans.erase(spans.begin() + std::ptrdiff_t(front), spans.begin() + std::ptrdiff_t(back));
    spans.insert(spans.begin() + std::ptrdiff_t(front), middle.begin(), middle.end());
    ids.erase(ids.begin() + std::ptrdiff_t(front), ids.begin() + std::ptrdiff_t(back));
    ids.insert(ids.begin() + std::ptrdiff_t(front), middleIds.begin(), middleIds.end());
    m_edited = edited;
    return true;
}
