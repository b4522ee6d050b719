#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextComparisonChange.h"

#include <QColor>
#include <QString>

#include <optional>
#include <vector>

// A UTF-16 range of the edited text.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;

    qint64 end() const { return location + length; }
    bool operator==(const TextRange &) const = default;
};

// The text rules of the editor that need no widget: markup clipping, selection trimming, the
// highlight runs, snippets and search.
namespace EditorTextRules {

// The markup's range cut to a text of the given length; nothing when it starts at or past the
// end or is empty. Stored values are 64-bit: the length is clipped before anything is added.
std::optional<TextRange> clippedRange(qint64 location, qint64 length, qint64 textLength);

// The selection reduced to its first…last non-white-space character; nothing when there is none.
std::optional<TextRange> trimmedSelection(const QString &text, qint64 location, qint64 length);

// Background and underline over [start, end): the diff's changes, then the markups in order (a
// highlight paints its colour over the visible characters, a strike-through clears every
// background there, a markup underline replaces the diff's underline over its range).
struct HighlightRun {
    int start = 0;
    int end = 0;
    std::optional<QColor> background;
    bool changeUnderline = false;

    bool operator==(const HighlightRun &) const = default;
};
// One sweep over the sorted interval ends: O((k + m) log(k + m)) for k changes and m markup runs.
std::vector<HighlightRun> highlightRuns(const QString &text, const std::vector<TextComparisonChange> &changes,
                                        const std::vector<TextMarkupAnnotation> &annotations);
// The same runs cut to a stretch of the text (what a pane shows), found without looking at the
// changes outside it: they must be in text order and not overlap, as the diff gives them.
std::vector<HighlightRun> highlightRuns(const QString &text, const std::vector<TextComparisonChange> &changes,
                                        const std::vector<TextMarkupAnnotation> &annotations, TextRange stretch);

// Line breaks made spaces, then trimmed.
QString flattened(const QString &text);
// A chip's text: flattened, and cut to 22 characters plus "..." from 23 characters on.
QString chipSnippet(const QString &text);
// The list row's text for a markup: its range of the edited text, flattened; "" outside the text.
QString annotationSnippet(const TextMarkupAnnotation &annotation, const QString &editedText);

// The first match of the trimmed query, ignoring case and accents (not width), starting and
// ending on character boundaries; nothing for a blank query or no match.
std::optional<TextRange> findFirst(const QString &text, const QString &query);

// Markups with a non-blank note, in stored order.
std::vector<TextMarkupAnnotation> notedAnnotations(const std::vector<TextMarkupAnnotation> &annotations);
// The number a list row shows: the sequence number, at least 1.
qint64 shownNumber(const TextMarkupAnnotation &annotation);
// The list badge colour: underline colour, else red for struck or colourless, else the highlight.
QString badgeColorHex(const TextMarkupAnnotation &annotation);

} // namespace EditorTextRules
