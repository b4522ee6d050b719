#include "texteditor/EditorTextRules.h"

#include "model/HexColor.h"
#include "textengine/TextAnnotationCalloutLayout.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <map>

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

// What one interval does to the characters it covers, in the order the editor applies them:
// every change first, then each markup's highlight, underline and strike in markup order.
enum class EditorRulesEffect : quint8 { Change, Underline, Background };

struct EditorRulesInterval {
    int start;
    int end;
    EditorRulesEffect effect;
    // For Background: the markup's place in the list (later markups win) and its colour; an
    // invalid colour clears the background (a strike).
    int order = 0;
    QColor color;
};

// Gathers the intervals of the changes and markups that reach into [from, to), cut to it.
// `changesInOrder`: the changes are sorted and do not overlap (as the diff gives them), so the
// ones that matter are found by binary search; otherwise every change is looked at.
std::vector<EditorRulesInterval> editorRulesIntervals(const QString &text,
                                                      const std::vector<TextComparisonChange> &changes,
                                                      const std::vector<TextMarkupAnnotation> &annotations,
                                                      qint64 from, qint64 to, bool changesInOrder)
{
    const qint64 textLength = text.size();
    std::vector<EditorRulesInterval> intervals;
    auto first = changes.begin();
    if (changesInOrder)
        first = std::partition_point(changes.begin(), changes.end(),
                                     [from](const TextComparisonChange &change) { return change.end <= from; });
    for (auto it = first; it != changes.end(); ++it) {
        const TextComparisonChange &change = *it;
        if (changesInOrder && change.start >= to)
            break;
        // A change that does not lie inside the text is dropped whole, never cut into place.
        if (change.start < 0 || change.end > textLength || change.end <= change.start)
            continue;
        const qint64 start = std::max<qint64>(change.start, from);
        const qint64 end = std::min<qint64>(change.end, to);
        if (start < end)
            intervals.push_back({ int(start), int(end), EditorRulesEffect::Change, 0, QColor() });
    }
    for (std::size_t index = 0; index < annotations.size(); ++index) {
        const TextMarkupAnnotation &annotation = annotations[index];
        const std::optional<TextRange> range = clippedRange(annotation.location, annotation.length, textLength);
        if (!range)
            continue;
        const qint64 start = std::max(range->location, from);
        const qint64 end = std::min(range->end(), to);
        if (start >= end)
            continue;
        if (annotation.underline)
            intervals.push_back({ int(start), int(end), EditorRulesEffect::Underline, 0, QColor() });
        // The strike comes after the highlight within one markup, so it decides alone.
        const bool paints = annotation.highlight && annotation.highlightColorHex != QLatin1String("none");
        if (!paints && !annotation.strikethrough)
            continue;
        const QColor color
            = annotation.strikethrough ? QColor() : HexColor::drawingColor(annotation.highlightColorHex);
        // Visible runs of a stretch are those of the whole range cut to it: blanks are per unit.
        for (const auto &run : TextAnnotationCalloutLayout::visibleCharacterRanges(start, end - start, text))
            intervals.push_back({ int(run.first), int(run.first + run.second), EditorRulesEffect::Background,
                                  int(index), color });
    }
    return intervals;
}

// One sweep over the sorted ends of the intervals: between two ends the set of covering intervals
// is fixed, so the run there follows from the number of changes and underlines covering it and
// from the last markup in order whose background covers it.
std::vector<HighlightRun> editorRulesSweep(const std::vector<EditorRulesInterval> &intervals)
{
    struct Event {
        int position;
        int delta; // +1 opens, -1 closes
        const EditorRulesInterval *interval;
    };
    std::vector<Event> events;
    events.reserve(intervals.size() * 2);
    for (const EditorRulesInterval &interval : intervals) {
        events.push_back({ interval.start, +1, &interval });
        events.push_back({ interval.end, -1, &interval });
    }
    std::sort(events.begin(), events.end(),
              [](const Event &a, const Event &b) { return a.position < b.position; });
    const QColor changeColor(0xFD, 0xE6, 0x8A);
    int changes = 0;
    int underlines = 0;
    std::map<int, QColor> backgrounds; // by markup order
    std::vector<HighlightRun> runs;
    for (std::size_t at = 0; at < events.size();) {
        const int position = events[at].position;
        for (; at < events.size() && events[at].position == position; ++at) {
            const Event &event = events[at];
            switch (event.interval->effect) {
            case EditorRulesEffect::Change:
                changes += event.delta;
                break;
            case EditorRulesEffect::Underline:
                underlines += event.delta;
                break;
            case EditorRulesEffect::Background:
                if (event.delta > 0)
                    backgrounds[event.interval->order] = event.interval->color;
                else
                    backgrounds.erase(event.interval->order);
                break;
            }
        }
        if (at == events.size())
            break;
        const int end = events[at].position;
        HighlightRun run { position, end, std::nullopt, changes > 0 && underlines == 0 };
        if (!backgrounds.empty()) {
            const QColor &last = backgrounds.rbegin()->second;
            if (last.isValid())
                run.background = last;
        } else if (changes > 0) {
            run.background = changeColor;
        }
        if (!run.background && !run.changeUnderline)
            continue;
        if (!runs.empty() && runs.back().end == position && runs.back().background == run.background
            && runs.back().changeUnderline == run.changeUnderline)
            runs.back().end = end;
        else
            runs.push_back(run);
    }
    return runs;
}

} // namespace

std::vector<HighlightRun> highlightRuns(const QString &text, const std::vector<TextComparisonChange> &changes,
                                        const std::vector<TextMarkupAnnotation> &annotations)
{
    return editorRulesSweep(editorRulesIntervals(text, changes, annotations, 0, text.size(), false));
}

std::vector<HighlightRun> highlightRuns(const QString &text, const std::vector<TextComparisonChange> &changes,
                                        const std::vector<TextMarkupAnnotation> &annotations, TextRange stretch)
{
    const qint64 from = std::clamp<qint64>(stretch.location, 0, text.size());
    const qint64 to = std::clamp<qint64>(stretch.end(), from, text.size());
    return editorRulesSweep(editorRulesIntervals(text, changes, annotations, from, to, true));
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
