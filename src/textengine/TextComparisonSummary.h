#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextComparisonResult.h"

#include <QString>

// The four counts that the pages, the Word file and the editor's header show.
struct TextComparisonSummary {
    qint64 changeCount = 0;
    qint64 noteCount = 0;
    qint64 underlineCount = 0;
    qint64 strikethroughCount = 0;

    // "3 处修改 · 1 条批注 · 0 个下划线 · 2 个划掉"
    QString displayText() const;

    bool operator==(const TextComparisonSummary &) const = default;
};

namespace TextComparisonSummaryBuilder {

// The counts of the state's markups and of the result's changes (the comparison of its texts).
TextComparisonSummary summary(const TextComparisonState &state, const TextComparisonResult &result);

// The counts for a number of changes.
TextComparisonSummary summary(qint64 changeCount, const std::vector<TextMarkupAnnotation> &annotations);

} // namespace TextComparisonSummaryBuilder
