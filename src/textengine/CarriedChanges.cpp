#include "textengine/CarriedChanges.h"

#include <algorithm>

namespace CarriedChanges {

std::vector<TextComparisonChange> carriedOver(const std::vector<TextComparisonChange> &changes, const QString &from,
                                              const QString &to)
{
    const qsizetype fromLength = from.size();
    const qsizetype toLength = to.size();
    const qsizetype shorter = std::min(fromLength, toLength);
    const QChar *a = from.constData();
    const QChar *b = to.constData();
    qsizetype prefix = 0;
    while (prefix < shorter && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && a[fromLength - 1 - suffix] == b[toLength - 1 - suffix])
        ++suffix;
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
