#include "textengine/TextComparisonDiff.h"

#include "textengine/LineComparison.h"
#include "textengine/LineSpans.h"
#include "textengine/SuffixLcsOrder.h"
#include "textengine/TextComparisonRules.h"
#include "textengine/TokenInterner.h"

#include <QTextBoundaryFinder>

#include <algorithm>
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

// The edited characters outside the common subsequence, for texts of at most 1400 characters:
// always the exact walk, whose table is small.
std::vector<std::pair<qsizetype, qsizetype>> characterRanges(const QString &original, const QString &edited)
{
    const bool decomposed = bothTriviallyDecomposed(original, edited);
    if (decomposed ? original == edited : TextComparisonDiff::canonicallyEqual(original, edited))
        return {};
    const std::vector<TokenSpan> originalSpans = graphemeSpans(original);
    const std::vector<TokenSpan> editedSpans = graphemeSpans(edited);
    TokenInterner interner(decomposed, qsizetype(originalSpans.size() + editedSpans.size()));
    const std::vector<int> a = internSpans(interner, original, originalSpans);
    const std::vector<int> b = internSpans(interner, edited, editedSpans);
    const std::vector<char> matched = matchedFlags(a, b);
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    for (std::size_t k = 0; k < b.size(); ++k) {
        if (!matched[k])
            ranges.emplace_back(editedSpans[k].start, editedSpans[k].end);
    }
    return ranges;
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
    return compare(original, edited)->changes;
}

std::optional<TextComparisonResult> compare(
    const QString &original, const QString &edited, const std::atomic<bool> *cancelled)
{
    const auto wanted = [cancelled] { return !cancelled || !cancelled->load(std::memory_order_relaxed); };
    if (!wanted())
        return std::nullopt;
    TextComparisonResult result;
    if (original == edited) {
        result.alignedOriginal = TextComparisonRules::normalizedLineEnds(original);
        return result;
    }
    const qsizetype limit = characterModeLimit;
    const bool characterMode = graphemeCountUpTo(original, limit) < limit && graphemeCountUpTo(edited, limit) < limit;
    // Removed text is not marked: an empty copy has no changes, a copy of nothing is all new.
    const bool wantChanges = !edited.isEmpty() && !original.isEmpty();
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    if (characterMode && wantChanges)
        ranges = characterRanges(original, edited);
    std::optional<LineComparison> lines = compareByLines(original, edited, wantChanges && !characterMode, cancelled);
    if (!lines)
        return std::nullopt;
    if (!characterMode)
        ranges = std::move(lines->changedRanges);
    if (original.isEmpty() && !edited.isEmpty())
        ranges = {{0, edited.size()}};
    result.alignedOriginal = std::move(lines->alignedOriginal);
    const auto merged = mergedChangeRanges(ranges, edited);
    result.changes.reserve(merged.size());
    for (std::size_t k = 0; k < merged.size(); ++k)
        result.changes.push_back({qint64(k) + 1, merged[k].first, merged[k].second});
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

} // namespace TextComparisonDiff

namespace TextComparisonDisplay {

QString alignedOriginalText(const QString &original, const QString &edited)
{
    return TextComparisonDiff::compare(original, edited)->alignedOriginal;
}

} // namespace TextComparisonDisplay

std::pair<qint64, qint64> TextComparisonChange::nsRange(const QString &edited) const
{
    const qint64 length = edited.size();
    const qint64 location = std::clamp<qint64>(start, 0, length);
    const qint64 endClipped = std::clamp<qint64>(end, location, length);
    return {location, endClipped - location};
}
