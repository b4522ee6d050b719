#include "textengine/CarriedChanges.h"

#include <algorithm>
#include <cstring>

namespace {

// Whole blocks are compared with memcmp first: in a long text the scan runs over nearly all of it
// at every keystroke, and a character at a time that costs milliseconds.
constexpr qsizetype carriedChangesBlock = 512;

qsizetype carriedChangesCommonPrefix(const QChar *a, const QChar *b, qsizetype length)
{
    qsizetype prefix = 0;
    while (prefix + carriedChangesBlock <= length
           && std::memcmp(a + prefix, b + prefix, sizeof(QChar) * carriedChangesBlock) == 0)
        prefix += carriedChangesBlock;
    while (prefix < length && a[prefix] == b[prefix])
        ++prefix;
    return prefix;
}

// The common suffix of a[0, aLength) and b[0, bLength), at most `limit` long.
qsizetype carriedChangesCommonSuffix(const QChar *a, qsizetype aLength, const QChar *b, qsizetype bLength,
                                     qsizetype limit)
{
    qsizetype suffix = 0;
    while (suffix + carriedChangesBlock <= limit
           && std::memcmp(a + aLength - suffix - carriedChangesBlock, b + bLength - suffix - carriedChangesBlock,
                          sizeof(QChar) * carriedChangesBlock)
               == 0)
        suffix += carriedChangesBlock;
    while (suffix < limit && a[aLength - 1 - suffix] == b[bLength - 1 - suffix])
        ++suffix;
    return suffix;
}

} // namespace

namespace CarriedChanges {

std::pair<qsizetype, qsizetype> commonEnds(QStringView from, QStringView to)
{
    const qsizetype shorter = std::min(from.size(), to.size());
    const QChar *a = from.data();
    const QChar *b = to.data();
    const qsizetype prefix = carriedChangesCommonPrefix(a, b, shorter);
    return { prefix, carriedChangesCommonSuffix(a, from.size(), b, to.size(), shorter - prefix) };
}

std::vector<TextComparisonChange> carriedOver(const std::vector<TextComparisonChange> &changes, const QString &from,
                                              const QString &to)
{
    const qsizetype fromLength = from.size();
    const qsizetype toLength = to.size();
    const auto [prefix, suffix] = commonEnds(from, to);
    // The edit replaced [prefix, fromEnd) of the old text by [prefix, toEnd) of the new one.
    const qsizetype fromEnd = fromLength - suffix;
    const qsizetype toEnd = toLength - suffix;
    const qsizetype shift = toLength - fromLength;
    std::vector<TextComparisonChange> carried;
    carried.reserve(changes.size());
    for (TextComparisonChange change : changes) {
        if (change.start < 0 || change.end > fromLength || change.end <= change.start)
            continue;
        if (change.end < prefix || (change.end == prefix && prefix < fromEnd)) {
            // Wholly before the edit (a change that ends where text was replaced stays as it is).
        } else if (change.start > fromEnd || (change.start == fromEnd && prefix < fromEnd)) {
            change.start += shift;
            change.end += shift;
        } else {
            change.start = std::min(change.start, prefix);
            change.end = std::max(change.end + shift, toEnd);
        }
        change.end = std::min(change.end, toLength);
        if (change.end > change.start)
            carried.push_back(change);
    }
    return carried;
}

} // namespace CarriedChanges
