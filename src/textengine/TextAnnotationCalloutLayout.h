#pragma once

#include "model/TextComparisonState.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <map>
#include <utility>
#include <vector>

class QPainter;

// Where one note bubble stands: the annotated words it points at, the bubble and the x of its
// pointer's tip.
struct TextAnnotationCalloutPlacement {
    TextMarkupAnnotation annotation;
    QRectF targetRect;
    QRectF bubbleRect;
    qreal pointerCenterX = 0;
};

// Note bubbles: their size from the note, the space reserved above annotated lines, and the
// stacking of the bubbles of one line into that space. Shared by the page renderer and the
// editor panes so both reserve and place the same way.
namespace TextAnnotationCalloutLayout {

struct RawCallout {
    TextMarkupAnnotation annotation;
    QRectF targetRect;
    qint64 lineKey = 0;
    qreal bubbleWidth = 0;
    qreal bubbleHeight = 0;
};

// Bold 12, the typeface of every bubble.
QFont noteFont();

// Whether the markup shows a bubble on this text: a non-blank note and a range inside the text.
bool getsBubble(const TextMarkupAnnotation &annotation, const QString &text);

// Wide enough for the widest note line beside the number and the delete button: 132…220 (less
// when maxWidth is smaller than 220); 0 without a note.
qreal bubbleWidth(const TextMarkupAnnotation &annotation, qreal maxWidth);
// The note wrapped at noteTextWidth(width), rounded up, plus 14; 0 without a note.
qreal bubbleHeight(const TextMarkupAnnotation &annotation, qreal bubbleWidth);
// The width the note's text is wrapped at inside a bubble of this width (number column, insets
// and the delete button's room taken off).
qreal noteTextWidth(qreal bubbleWidth);
// The space a group of bubbles at one location needs, for a text of the given width.
qreal groupSpacing(const std::vector<TextMarkupAnnotation> &annotations, qreal width);
// The band map: annotation location → group spacing.
std::map<qsizetype, qreal> calloutSpacing(const QString &text, const std::vector<TextMarkupAnnotation> &annotations,
                                          qreal width);
// The bubbles of one line, stacked upwards from the words while they stay below minY, else
// below the line; in (sequenceNumber, location) order.
std::vector<TextAnnotationCalloutPlacement> placements(qint64 lineKey,
                                                       const std::map<qint64, std::vector<RawCallout>> &groups,
                                                       const QRectF &bounds, qreal minY);

// The runs of non-blank UTF-16 units of the range clipped to the text, ascending.
std::vector<std::pair<qsizetype, qsizetype>> visibleCharacterRanges(qint64 location, qint64 length,
                                                                    const QString &text);

// Draws one bubble: the rounded box, the pointer, "N." and the note (its last visible line
// elided when the note is taller than the box).
void drawCallout(QPainter *painter, const TextAnnotationCalloutPlacement &placement);

} // namespace TextAnnotationCalloutLayout
