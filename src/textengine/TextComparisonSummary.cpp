#include "textengine/TextComparisonSummary.h"

#include "model/TextRules.h"

QString TextComparisonSummary::displayText() const
{
    const QString separator = QStringLiteral(" \u00B7 ");
    return QString::number(changeCount) + QStringLiteral(" 处修改") + separator + QString::number(noteCount)
        + QStringLiteral(" 条批注") + separator + QString::number(underlineCount) + QStringLiteral(" 个下划线")
        + separator + QString::number(strikethroughCount) + QStringLiteral(" 个划掉");
}

namespace TextComparisonSummaryBuilder {

TextComparisonSummary summary(qint64 changeCount, const std::vector<TextMarkupAnnotation> &annotations)
{
    TextComparisonSummary result;
    result.changeCount = changeCount;
    for (const TextMarkupAnnotation &annotation : annotations) {
        if (TextRules::hasVisibleText(annotation.note))
            ++result.noteCount;
        if (annotation.underline)
            ++result.underlineCount;
        if (annotation.strikethrough)
            ++result.strikethroughCount;
    }
    return result;
}

TextComparisonSummary summary(const TextComparisonState &state, const TextComparisonResult &result)
{
    return summary(qint64(result.changes.size()), state.annotations);
}

} // namespace TextComparisonSummaryBuilder
