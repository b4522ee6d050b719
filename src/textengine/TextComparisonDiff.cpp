#include "textengine/TextComparisonDiff.h"

#include "textengine/LineTokenCache.h"
#include "textengine/SuffixLcsOrder.h"
#include "textengine/TextComparisonRules.h"
#include "textengine/TokenInterner.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <mutex>
#include <optional>
#include <span>

namespace {

std::vector<TokenSpan> graphemeSpans(const QString &text)
{
    std::vector<TokenSpan> spans;
    if (text.isEmpty())
        return spans;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (true) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0 || next <= start)
            break;
        spans.push_back({start, next});
        start = next;
        if (next >= text.size())
            break;
    }
    return spans;
}

qsizetype graphemeCountUpTo(const QString &text, qsizetype limit)
{
    if (text.isEmpty())
        return 0;
    // Whether a cluster ends at a position depends only on the text up to the character that
    // starts there, so the clusters that end inside a prefix are clusters of the whole text. A
    // long text is counted on a prefix first instead of classifying all of it.
    qsizetype prefix = std::min(text.size(), 4 * limit);
    if (prefix < text.size() && text.at(prefix - 1).isHighSurrogate())
        ++prefix;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData(), prefix);
    qsizetype count = 0;
    qsizetype position = 0;
    while (count < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next <= position || (prefix < text.size() && next >= prefix))
            break;
        ++count;
        position = next;
        if (next >= text.size())
            return count;
    }
    if (count >= limit || prefix == text.size())
        return count;
    // Clusters longer than four code units on average: count over the whole text.
    QTextBoundaryFinder whole(QTextBoundaryFinder::Grapheme, text);
    count = 0;
    position = 0;
    while (count < limit && position < text.size()) {
        const qsizetype next = whole.toNextBoundary();
        if (next <= position)
            break;
        ++count;
        position = next;
    }
    return count;
}

std::vector<int> internSpans(TokenInterner &interner, const QString &text, const std::vector<TokenSpan> &spans)
{
    std::vector<int> ids;
    ids.reserve(spans.size());
    for (const TokenSpan &span : spans)
        ids.push_back(interner.id(QStringView(text).mid(span.start, span.end - span.start)));
    return ids;
}

// The walk of the diff: equal heads match, else the edited side advances only when skipping
// the original token loses more. Returns one flag per edited token.
std::vector<char> matchedFlags(const std::vector<int> &a, const std::vector<int> &b)
{
    std::vector<char> matched(b.size(), 0);
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
        matched[prefix] = 1;
        ++prefix;
    }
    // The common prefix is exactly what the walk matches first. The common suffix is not
    // skipped: the walk's tie rule would pair it differently ("x" against "zxx").
    const std::span<const int> restA(a.data() + prefix, a.size() - prefix);
    const std::span<const int> restB(b.data() + prefix, b.size() - prefix);
    if (restA.empty() || restB.empty())
        return matched;
    SuffixLcsOrder order(restA, restB);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < restA.size() && j < restB.size()) {
        if (restA[i] == restB[j]) {
            matched[prefix + j] = 1;
            ++i;
            ++j;
        } else if (order.compare(i, j) < 0) {
            ++j;
        } else {
            ++i;
        }
    }
    return matched;
}

// Whether both texts are in NFD already, so that canonical equivalence is code-unit identity.
bool bothTriviallyDecomposed(const QString &a, const QString &b)
{
    return TokenInterner::isTriviallyDecomposed(a) && TokenInterner::isTriviallyDecomposed(b);
}

bool equivalent(const QString &a, const QString &b, bool decomposed)
{
    return decomposed ? a == b : TextComparisonDiff::canonicallyEqual(a, b);
}

// The line caches of the diff and of the alignment, kept across calls for typing in long texts.
// A call that finds its cache busy (another thread) cuts its lines afresh.
struct LineCaches {
    std::mutex linesMutex;
    LineTokenCache lines { LineSplit::KeepingBreaks };
    std::mutex separatedMutex;
    LineTokenCache separated { LineSplit::AtSeparators };
};

LineCaches &lineCaches()
{
    static LineCaches instance;
    return instance;
}

// The spans are a std::vector<TokenSpan> or LineSpans.
template<typename Spans>
std::vector<std::pair<qsizetype, qsizetype>> unmatchedRanges(const std::vector<int> &a, const std::vector<int> &b,
                                                             const Spans &editedSpans)
{
    const std::vector<char> matched = matchedFlags(a, b);
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    for (std::size_t k = 0; k < b.size(); ++k) {
        if (!matched[k]) {
            const TokenSpan span = editedSpans[k];
            ranges.emplace_back(span.start, span.end);
        }
    }
    return ranges;
}

std::vector<TextComparisonChange> computeChanges(const QString &original, const QString &edited)
{
    // Identical texts first; canonical equivalence of differing ones is settled below, where
    // long texts already know from their line cache whether both are in NFD.
    if (edited.isEmpty() || original == edited)
        return {};
    const qsizetype limit = TextComparisonDiff::characterModeLimit;
    const bool characterMode = graphemeCountUpTo(original, limit) < limit && graphemeCountUpTo(edited, limit) < limit;
    if (original.isEmpty())
        return {TextComparisonChange{1, 0, edited.size()}};

    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    if (characterMode) {
        const bool decomposed = bothTriviallyDecomposed(original, edited);
        if (equivalent(original, edited, decomposed))
            return {};
        const std::vector<TokenSpan> originalSpans = graphemeSpans(original);
        const std::vector<TokenSpan> editedSpans = graphemeSpans(edited);
        TokenInterner interner(decomposed, qsizetype(originalSpans.size() + editedSpans.size()));
        const std::vector<int> a = internSpans(interner, original, originalSpans);
        const std::vector<int> b = internSpans(interner, edited, editedSpans);
        ranges = unmatchedRanges(a, b, editedSpans);
    } else {
        LineCaches &caches = lineCaches();
        std::unique_lock lock(caches.linesMutex, std::try_to_lock);
        LineTokenCache uncached(LineSplit::KeepingBreaks);
        const LineTokenCache::Tokens &tokens = (lock.owns_lock() ? caches.lines : uncached).tokens(original, edited);
        if (!tokens.decomposed && TextComparisonDiff::canonicallyEqual(original, edited))
            return {};
        ranges = unmatchedRanges(tokens.originalIds, tokens.editedIds, tokens.editedSpans);
    }
    const auto merged = TextComparisonDiff::mergedChangeRanges(ranges, edited);
    std::vector<TextComparisonChange> result;
    result.reserve(merged.size());
    for (std::size_t k = 0; k < merged.size(); ++k)
        result.push_back({qint64(k) + 1, merged[k].first, merged[k].second});
    return result;
}

QString computeAlignedOriginal(const QString &originalText, const QString &editedText)
{
    const QString original = TextComparisonRules::normalizedLineEnds(originalText);
    const QString edited = TextComparisonRules::normalizedLineEnds(editedText);
    if (original == edited)
        return original;

    LineCaches &caches = lineCaches();
    std::unique_lock lock(caches.separatedMutex, std::try_to_lock);
    LineTokenCache uncached(LineSplit::AtSeparators);
    const LineTokenCache::Tokens &tokens = (lock.owns_lock() ? caches.separated : uncached).tokens(original, edited);
    if (!tokens.decomposed && TextComparisonDiff::canonicallyEqual(original, edited))
        return original;
    const LineSpans &a = tokens.originalSpans;
    const LineSpans &b = tokens.editedSpans;
    const std::vector<int> &ia = tokens.originalIds;
    const std::vector<int> &ib = tokens.editedIds;

    // The rows are joined with "\n": an original line, or an empty row opposite an edited line.
    const std::size_t n = ia.size();
    const std::size_t m = ib.size();
    QString output;
    output.reserve(original.size() + qsizetype(m) + 1);
    bool firstRow = true;
    auto row = [&](std::optional<TokenSpan> line) {
        if (!firstRow)
            output.append(u'\n');
        firstRow = false;
        if (line)
            output.append(QStringView(original).mid(line->start, line->end - line->start));
    };
    std::size_t prefix = 0;
    while (prefix < n && prefix < m && ia[prefix] == ib[prefix]) {
        row(a[prefix]);
        ++prefix;
    }
    const std::span<const int> restA(ia.data() + prefix, ia.size() - prefix);
    const std::span<const int> restB(ib.data() + prefix, ib.size() - prefix);
    SuffixLcsOrder order(restA, restB);
    std::size_t i = 0;
    std::size_t j = 0;
    const std::size_t rn = restA.size();
    const std::size_t rm = restB.size();
    while (i < rn) {
        const TokenSpan line = a[prefix + i];
        if (j < rm && restA[i] == restB[j]) {
            row(line);
            ++i;
            ++j;
        } else if (j >= rm) {
            row(line);
            ++i;
        } else if (const TokenSpan next = b[prefix + j]; next.start == next.end) {
            row(std::nullopt);
            ++j;
        } else {
            const int step = order.compare(i, j);
            if (step < 0) {
                row(std::nullopt);
                ++j;
            } else if (step == 0) {
                row(line);
                ++i;
                ++j;
            } else {
                row(line);
                ++i;
            }
        }
    }
    for (; j < rm; ++j)
        row(std::nullopt);
    return output;
}

struct ResultCache {
    std::mutex mutex;
    bool hasChanges = false;
    QString changesOriginal;
    QString changesEdited;
    std::vector<TextComparisonChange> changes;
    bool hasAligned = false;
    QString alignedOriginal;
    QString alignedEdited;
    QString aligned;
};

ResultCache &cache()
{
    static ResultCache instance;
    return instance;
}

} // namespace

namespace TextComparisonDiff {

bool canonicallyEqual(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    if (TokenInterner::isTriviallyDecomposed(a) && TokenInterner::isTriviallyDecomposed(b))
        return false;
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

std::vector<TextComparisonChange> changes(const QString &original, const QString &edited)
{
    ResultCache &c = cache();
    {
        std::lock_guard lock(c.mutex);
        if (c.hasChanges && c.changesOriginal == original && c.changesEdited == edited)
            return c.changes;
    }
    std::vector<TextComparisonChange> result = computeChanges(original, edited);
    std::lock_guard lock(c.mutex);
    c.hasChanges = true;
    c.changesOriginal = original;
    c.changesEdited = edited;
    c.changes = result;
    return result;
}

std::optional<TextComparisonResult> compare(
    const QString &original, const QString &edited, const std::atomic<bool> *cancelled)
{
    const auto wanted = [cancelled] { return !cancelled || !cancelled->load(std::memory_order_relaxed); };
    if (!wanted())
        return std::nullopt;
    TextComparisonResult result;
    result.changes = changes(original, edited);
    if (!wanted())
        return std::nullopt;
    result.alignedOriginal = TextComparisonDisplay::alignedOriginalText(original, edited);
    if (!wanted())
        return std::nullopt;
    return result;
}

std::vector<TextToken> characterTokens(const QString &text)
{
    std::vector<TextToken> tokens;
    for (const TokenSpan &span : graphemeSpans(text))
        tokens.push_back({text.mid(span.start, span.end - span.start), span.start, span.end});
    return tokens;
}

std::vector<TextToken> lineTokens(const QString &text)
{
    std::vector<TextToken> tokens;
    for (const TokenSpan &span : splitLines(text, LineSplit::KeepingBreaks))
        tokens.push_back({text.mid(span.start, span.end - span.start), span.start, span.end});
    return tokens;
}

std::vector<qsizetype> matchedEditedTokenIndices(const QStringList &original, const QStringList &edited)
{
    TokenInterner interner;
    std::vector<int> a;
    std::vector<int> b;
    for (const QString &token : original)
        a.push_back(interner.id(token));
    for (const QString &token : edited)
        b.push_back(interner.id(token));
    const std::vector<char> flags = matchedFlags(a, b);
    std::vector<qsizetype> indices;
    for (std::size_t k = 0; k < flags.size(); ++k) {
        if (flags[k])
            indices.push_back(qsizetype(k));
    }
    return indices;
}

std::vector<std::pair<qsizetype, qsizetype>> mergedChangeRanges(
    const std::vector<std::pair<qsizetype, qsizetype>> &ranges, const QString &edited)
{
    std::vector<std::pair<qsizetype, qsizetype>> result;
    for (const auto &range : ranges) {
        if (range.second <= range.first)
            continue;
        if (result.empty()) {
            result.push_back(range);
            continue;
        }
        auto &previous = result.back();
        bool onlyBlanks = true;
        for (qsizetype k = previous.second; k < range.first && onlyBlanks; ++k)
            onlyBlanks = edited.at(k).isSpace();
        if (previous.second == range.first || onlyBlanks)
            previous.second = range.second;
        else
            result.push_back(range);
    }
    return result;
}

void clearCache()
{
    ResultCache &c = cache();
    std::lock_guard lock(c.mutex);
    c.hasChanges = false;
    c.changesOriginal.clear();
    c.changesEdited.clear();
    c.changes.clear();
    c.hasAligned = false;
    c.alignedOriginal.clear();
    c.alignedEdited.clear();
    c.aligned.clear();
    LineCaches &lines = lineCaches();
    {
        std::lock_guard linesLock(lines.linesMutex);
        lines.lines = LineTokenCache(LineSplit::KeepingBreaks);
    }
    std::lock_guard separatedLock(lines.separatedMutex);
    lines.separated = LineTokenCache(LineSplit::AtSeparators);
}

} // namespace TextComparisonDiff

namespace TextComparisonDisplay {

QString alignedOriginalText(const QString &original, const QString &edited)
{
    ResultCache &c = cache();
    {
        std::lock_guard lock(c.mutex);
        if (c.hasAligned && c.alignedOriginal == original && c.alignedEdited == edited)
            return c.aligned;
    }
    QString result = computeAlignedOriginal(original, edited);
    std::lock_guard lock(c.mutex);
    c.hasAligned = true;
    c.alignedOriginal = original;
    c.alignedEdited = edited;
    c.aligned = result;
    return result;
}

} // namespace TextComparisonDisplay

std::pair<qint64, qint64> TextComparisonChange::nsRange(const QString &edited) const
{
    const qint64 length = edited.size();
    const qint64 location = std::clamp<qint64>(start, 0, length);
    const qint64 endClipped = std::clamp<qint64>(end, location, length);
    return {location, endClipped - location};
}
