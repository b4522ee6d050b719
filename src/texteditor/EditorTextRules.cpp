#include "texteditor/EditorTextRules.h"

#include "model/HexColor.h"
#include "textengine/TextAnnotationCalloutLayout.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <set>

namespace EditorTextRules {

std::optional<TextRange> clippedRange(qint64 location, qint64 length, qint64 textLength)
{
    if (location < 0 || location >= textLength || length < 1)
        return std::nullopt;
    if (length > textLength - location)
        length = textLength - location;
    return TextRange { location, length };
}

std::optional<TextRange> trimmedSelection(const QString &text, qint64 location, qint64 length)
{
    const std::optional<TextRange> range = clippedRange(location, length, text.size());
    if (!range)
        return std::nullopt;
    qsizetype first = qsizetype(range->location);
    qsizetype last = qsizetype(range->end()) - 1;
    while (first <= last && text.at(first).isSpace())
        ++first;
    while (last >= first && text.at(last).isSpace())
        --last;
    if (first > last)
        return std::nullopt;
    // Keep a surrogate pair whole at the end.
    if (text.at(last).isHighSurrogate() && last + 1 < text.size())
        ++last;
    return TextRange { first, last + 1 - first };
}

namespace {

enum class Op { Change, Highlight, Underline, Strike };

struct Interval {
    int start;
    int end;
    Op op;
    QColor color;
};

} // namespace

std::vector<HighlightRun> highlightRuns(const QString &text, const std::vector<TextComparisonChange> &changes,
                                        const std::vector<TextMarkupAnnotation> &annotations)
{
    const qint64 textLength = text.size();
    std::vector<Interval> intervals;
    const QColor changeColor(0xFD, 0xE6, 0x8A);
    for (const TextComparisonChange &change : changes) {
        if (change.start < 0 || change.end > textLength || change.end <= change.start)
            continue;
        intervals.push_back({ int(change.start), int(change.end), Op::Change, changeColor });
    }
    for (const TextMarkupAnnotation &annotation : annotations) {
        const std::optional<TextRange> range = clippedRange(annotation.location, annotation.length, textLength);
        if (!range)
            continue;
        const auto runs = TextAnnotationCalloutLayout::visibleCharacterRanges(range->location, range->length, text);
        if (annotation.highlight && annotation.highlightColorHex != QLatin1String("none")) {
            const QColor color = HexColor::drawingColor(annotation.highlightColorHex);
            for (const auto &run : runs)
                intervals.push_back({ int(run.first), int(run.first + run.second), Op::Highlight, color });
        }
        if (annotation.underline)
            intervals.push_back({ int(range->location), int(range->end()), Op::Underline, QColor() });
        if (annotation.strikethrough) {
            for (const auto &run : runs)
                intervals.push_back({ int(run.first), int(run.first + run.second), Op::Strike, QColor() });
        }
    }
    std::set<int> bounds;
    for (const Interval &interval : intervals) {
        bounds.insert(interval.start);
        bounds.insert(interval.end);
    }
    std::vector<HighlightRun> runs;
    if (bounds.size() < 2)
        return runs;
    for (auto it = bounds.begin(); std::next(it) != bounds.end(); ++it) {
        const int start = *it;
        const int end = *std::next(it);
        HighlightRun run { start, end, std::nullopt, false };
        for (const Interval &interval : intervals) {
            if (interval.start > start || interval.end < end)
                continue;
            switch (interval.op) {
            case Op::Change:
                run.background = interval.color;
                run.changeUnderline = true;
                break;
            case Op::Highlight:
                run.background = interval.color;
                break;
            case Op::Underline:
                run.changeUnderline = false;
                break;
            case Op::Strike:
                run.background.reset();
                break;
            }
        }
        if (!run.background && !run.changeUnderline)
            continue;
        if (!runs.empty() && runs.back().end == start && runs.back().background == run.background
            && runs.back().changeUnderline == run.changeUnderline)
            runs.back().end = end;
        else
            runs.push_back(run);
    }
    return runs;
}

QString flattened(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return result.trimmed();
}

QString chipSnippet(const QString &text)
{
    const QString flat = flattened(text);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, flat);
    int count = 0;
    qsizetype cut = -1;
    while (finder.toNextBoundary() >= 0) {
        ++count;
        if (count == 22)
            cut = finder.position();
        if (count >= 23)
            return flat.left(cut) + QStringLiteral("...");
    }
    return flat;
}

QString annotationSnippet(const TextMarkupAnnotation &annotation, const QString &editedText)
{
    const std::optional<TextRange> range = clippedRange(annotation.location, annotation.length, editedText.size());
    if (!range)
        return QString();
    return flattened(editedText.mid(qsizetype(range->location), qsizetype(range->length)));
}

namespace {

// A character folded for comparison: decomposed, without combining marks, case-folded.
QString folded(QStringView grapheme)
{
    const QString decomposed = grapheme.toString().normalized(QString::NormalizationForm_D);
    QString kept;
    for (QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            kept.append(c);
    }
    return kept.toCaseFolded();
}

struct FoldedText {
    QString text;
    std::vector<qsizetype> sourceStart; // per folded unit: where its character starts
    std::vector<bool> startsCharacter; // per folded unit: first unit of a character
    std::vector<qsizetype> characterEnd; // per folded unit: end of its character in the source
};

FoldedText foldText(const QString &source)
{
    FoldedText result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, source);
    qsizetype start = 0;
    while (true) {
        const qsizetype end = finder.toNextBoundary();
        if (end < 0)
            break;
        const QString piece = folded(QStringView(source).mid(start, end - start));
        for (qsizetype k = 0; k < piece.size(); ++k) {
            result.text.append(piece.at(k));
            result.sourceStart.push_back(start);
            result.startsCharacter.push_back(k == 0);
            result.characterEnd.push_back(end);
        }
        start = end;
    }
    return result;
}

} // namespace

std::optional<TextRange> findFirst(const QString &text, const QString &query)
{
    const QString trimmed = query.trimmed();
    if (trimmed.isEmpty() || text.isEmpty())
        return std::nullopt;
    const FoldedText haystack = foldText(text);
    const QString needle = foldText(trimmed).text;
    if (needle.isEmpty())
        return std::nullopt;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = haystack.text.indexOf(needle, from);
        if (at < 0)
            return std::nullopt;
        const qsizetype last = at + needle.size() - 1;
        const bool endsOnBoundary = last + 1 >= haystack.text.size() || haystack.startsCharacter[std::size_t(last + 1)];
        if (haystack.startsCharacter[std::size_t(at)] && endsOnBoundary) {
            const qsizetype start = haystack.sourceStart[std::size_t(at)];
            return TextRange { start, haystack.characterEnd[std::size_t(last)] - start };
        }
        from = at + 1;
    }
}

std::vector<TextMarkupAnnotation> notedAnnotations(const std::vector<TextMarkupAnnotation> &annotations)
{
    std::vector<TextMarkupAnnotation> noted;
    for (const TextMarkupAnnotation &annotation : annotations) {
        if (!annotation.note.trimmed().isEmpty())
            noted.push_back(annotation);
    }
    return noted;
}

qint64 shownNumber(const TextMarkupAnnotation &annotation) { return std::max<qint64>(annotation.sequenceNumber, 1); }

QString badgeColorHex(const TextMarkupAnnotation &annotation)
{
    if (annotation.underline)
        return annotation.underlineColorHex;
    if (annotation.strikethrough || annotation.highlightColorHex == QLatin1String("none"))
        return QStringLiteral("#DC2626");
    return annotation.highlightColorHex;
}

} // namespace EditorTextRules
