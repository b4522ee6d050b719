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

std::vector<int> lineTokenCacheIds(LineInterner &interner, const QString &text, const LineSpans &spans)
{
    interner.readFrom(&text);
    std::vector<int> ids;
    ids.reserve(spans.size());
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const TokenSpan span = spans[k];
        ids.push_back(interner.id(span.start, span.end - span.start));
    }
    return ids;
}

// The edited text's ids. Most lines of an edited text stand where they stood in the original,
// give or take the lines inserted or removed before them: each line is first compared with the
// original line at the offset the last lines kept, and only looked up when that one differs.
// Equal code units have one id, so the ids are the lookup's. A looked-up line that the original
// holds close to where the offset puts it moves the offset there.
std::vector<int> lineTokenCacheEditedIds(LineInterner &interner, const QString &original, const LineSpans &originalSpans,
                                         const std::vector<int> &originalIds, const QString &edited,
                                         const LineSpans &editedSpans)
{
    constexpr std::int64_t resyncReach = 64;
    const int originalIdCount = interner.size();
    interner.readFrom(&edited);
    std::vector<int> ids;
    ids.reserve(editedSpans.size());
    std::int64_t offset = 0;
    const auto originalCount = std::int64_t(originalSpans.size());
    for (std::size_t j = 0; j < editedSpans.size(); ++j) {
        const TokenSpan span = editedSpans[j];
        const QStringView line = QStringView(edited).mid(span.start, span.end - span.start);
        const std::int64_t i = std::int64_t(j) + offset;
        if (i >= 0 && i < originalCount) {
            const TokenSpan there = originalSpans[std::size_t(i)];
            if (QStringView(original).mid(there.start, there.end - there.start) == line) {
                ids.push_back(originalIds[std::size_t(i)]);
                continue;
            }
        }
        const int id = interner.id(span.start, span.end - span.start);
        if (id < originalIdCount) {
            const std::int64_t from = std::clamp<std::int64_t>(i - resyncReach, 0, originalCount);
            const std::int64_t to = std::clamp<std::int64_t>(i + resyncReach + 1, 0, originalCount);
            for (std::int64_t at = from; at < to; ++at) {
                if (originalIds[std::size_t(at)] == id) {
                    offset = at - std::int64_t(j);
                    break;
                }
            }
        }
        ids.push_back(id);
    }
    return ids;
}

// The first index in [low, high) whose span fails the test (the test holds on a prefix).
template<typename Test>
std::size_t lineTokenCachePartition(const LineSpans &spans, std::size_t low, std::size_t high, Test &&test)
{
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (test(spans[middle]))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

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

const LineTokenCache::Tokens &LineTokenCache::tokens(const QString &original, const QString &edited)
{
    const bool reusable = m_valid && m_interned->lineCopies.size() <= copiedUnitLimit && original == m_interned->original;
    if (!reusable || !update(edited))
        rebuild(original, edited);
    return m_tokens;
}

void LineTokenCache::rebuild(const QString &original, const QString &edited)
{
    // What the last texts held goes before the new cut is made, so that the two never add up.
    m_valid = false;
    m_interned.reset();
    m_tokens = Tokens();
    m_edited = edited;
    m_tokens.decomposed = TokenInterner::isTriviallyDecomposed(original) && TokenInterner::isTriviallyDecomposed(edited);
    m_tokens.originalSpans = LineSpans(original, m_split);
    m_tokens.editedSpans = LineSpans(edited, m_split);
    const std::size_t expected = std::max(m_tokens.originalSpans.size(), m_tokens.editedSpans.size());
    m_interned = std::make_unique<Interned>(original, edited, m_tokens.decomposed, expected);
    m_tokens.originalIds = lineTokenCacheIds(m_interned->interner, m_interned->original, m_tokens.originalSpans);
    m_tokens.editedIds = lineTokenCacheEditedIds(m_interned->interner, m_interned->original, m_tokens.originalSpans,
                                                 m_tokens.originalIds, m_interned->firstEdited, m_tokens.editedSpans);
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
    LineSpans &spans = m_tokens.editedSpans;
    std::vector<int> &ids = m_tokens.editedIds;

    const std::size_t count = spans.size();
    const std::size_t front = lineTokenCachePartition(spans, 0, count, [&](const TokenSpan &s) { return s.end + 1 <= head; });
    const std::size_t back = lineTokenCachePartition(spans, front, count,
                                                     [&](const TokenSpan &s) { return s.start - 1 < oldLength - tail; });
    const bool breaksIncluded = m_split == LineSplit::KeepingBreaks;
    const qsizetype cutFrom = front == 0 ? 0 : spans[front - 1].end + (breaksIncluded ? 0 : 1);
    const qsizetype cutTo = back == count ? newLength : spans[back].start + shift - (breaksIncluded ? 0 : 1);
    const QStringView cut = QStringView(edited).mid(cutFrom, cutTo - cutFrom);
    if (m_tokens.decomposed && !TokenInterner::isTriviallyDecomposed(cut))
        return false;

    spans.replace(front, back, edited, cutFrom, cutTo, shift);
    const std::size_t added = spans.size() - (count - (back - front));
    std::vector<int> middleIds;
    middleIds.reserve(added);
    // The interner keeps where its lines lie: each new line is kept as its own copy.
    QString &copies = m_interned->lineCopies;
    m_interned->interner.readFrom(&copies);
    for (std::size_t k = front; k < front + added; ++k) {
        const TokenSpan span = spans[k];
        const qsizetype at = copies.size();
        copies.append(QStringView(edited).mid(span.start, span.end - span.start));
        middleIds.push_back(m_interned->interner.id(at, span.end - span.start));
    }
    ids.erase(ids.begin() + std::ptrdiff_t(front), ids.begin() + std::ptrdiff_t(back));
    ids.insert(ids.begin() + std::ptrdiff_t(front), middleIds.begin(), middleIds.end());
    m_edited = edited;
    return true;
}
