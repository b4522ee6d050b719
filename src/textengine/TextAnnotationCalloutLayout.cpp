#include "textengine/TextAnnotationCalloutLayout.h"

#include "model/HexColor.h"
#include "textengine/PageOutput.h"
#include "textengine/TextBandLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace TextAnnotationCalloutLayout {

namespace {

// What a bubble's width holds besides the note: 12 inset on each side, the 34 of the number
// column and 30 of room for the delete button.
constexpr qreal kNoteInsets = 24 + 34 + 30;

} // namespace

QFont noteFont()
{
    return PageOutput::font(12, QFont::Bold);
}

bool getsBubble(const TextMarkupAnnotation &annotation, const QString &text)
{
    return !annotation.note.trimmed().isEmpty() && annotation.location >= 0 && annotation.location < text.size()
        && annotation.length >= 1;
}

qreal bubbleWidth(const TextMarkupAnnotation &annotation, qreal maxWidth)
{
    const QString note = annotation.note.trimmed();
    if (note.isEmpty())
        return 0;
    const qreal cap = std::min(std::max(maxWidth, qreal(132)), qreal(220));
    static const QRegularExpression lineBreaks(QStringLiteral("\r\n|[\n\r\u2028\u2029\u0085\u000B\u000C]"));
    const QFontMetricsF metrics(noteFont());
    qreal widest = 0;
    for (const QString &line : note.split(lineBreaks))
        widest = std::max(widest, std::ceil(metrics.horizontalAdvance(line)));
    // The bubble holds the widest line beside the number and the delete button, up to its cap.
    return std::min(cap, std::max(widest + kNoteInsets, qreal(132)));
}

// The note is measured at the width it is drawn at, so a bubble always holds its whole note.
qreal noteTextWidth(qreal bubbleWidth) { return std::max(bubbleWidth - kNoteInsets, qreal(40)); }

qreal bubbleHeight(const TextMarkupAnnotation &annotation, qreal width)
{
    const QString note = annotation.note.trimmed();
    if (note.isEmpty())
        return 0;
    TextBandLayout layout(note, noteFont(), noteTextWidth(width), 0);
    layout.layout();
    return std::max(qreal(0), std::ceil(layout.height()) + 14);
}

qreal groupSpacing(const std::vector<TextMarkupAnnotation> &annotations, qreal width)
{
    const qreal maxWidth = std::max(width - 28, qreal(132));
    qreal sum = 0;
    int slots = 0;
    for (const TextMarkupAnnotation &annotation : annotations) {
        const qreal w = bubbleWidth(annotation, maxWidth);
        const qreal h = bubbleHeight(annotation, w);
        if (h > 0) {
            sum += std::ceil(h + 8 + 2);
            ++slots;
        }
    }
    if (slots == 0)
        return 0;
    return std::ceil(sum + 8.0 * (slots - 1));
}

std::map<qsizetype, qreal> calloutSpacing(const QString &text, const std::vector<TextMarkupAnnotation> &annotations,
                                          qreal width)
{
    std::map<qsizetype, std::vector<TextMarkupAnnotation>> groups;
    for (const TextMarkupAnnotation &annotation : annotations) {
        if (getsBubble(annotation, text))
            groups[qsizetype(annotation.location)].push_back(annotation);
    }
    std::map<qsizetype, qreal> spacing;
    for (const auto &[location, group] : groups)
        spacing[location] = groupSpacing(group, width);
    return spacing;
}

std::vector<TextAnnotationCalloutPlacement> placements(qint64 lineKey,
                                                       const std::map<qint64, std::vector<RawCallout>> &groups,
                                                       const QRectF &bounds, qreal minY)
{
    std::vector<RawCallout> callouts;
    if (const auto it = groups.find(lineKey); it != groups.end())
        callouts = it->second;
    std::stable_sort(callouts.begin(), callouts.end(), [](const RawCallout &a, const RawCallout &b) {
        if (a.annotation.sequenceNumber != b.annotation.sequenceNumber)
            return a.annotation.sequenceNumber < b.annotation.sequenceNumber;
        return a.annotation.location < b.annotation.location;
    });
    qreal top = 0;
    qreal bottom = 0;
    if (!callouts.empty()) {
        top = callouts.front().targetRect.top();
        bottom = callouts.front().targetRect.bottom();
        for (const RawCallout &callout : callouts) {
            top = std::min(top, callout.targetRect.top());
            bottom = std::max(bottom, callout.targetRect.bottom());
        }
    }
    qreal up = top - 8;
    qreal down = bottom + 8;
    std::vector<TextAnnotationCalloutPlacement> result;
    for (const RawCallout &callout : callouts) {
        const qreal w = callout.bubbleWidth;
        const qreal h = callout.bubbleHeight;
        const qreal lo = bounds.left() + 14;
        const qreal hi = bounds.right() - 14 - w;
        const qreal x = std::min(std::max(lo, hi), std::max(lo, callout.targetRect.left()));
        qreal y;
        const qreal candidate = up - h;
        if (minY <= candidate) {
            y = candidate;
            up = candidate - 8;
        } else {
            y = down;
            down = down + h + 8;
        }
        const qreal pointer = std::min(std::max(callout.targetRect.center().x(), x + 18), x + w - 18);
        result.push_back({callout.annotation, callout.targetRect, QRectF(x, y, w, h), pointer});
    }
    return result;
}

std::vector<std::pair<qsizetype, qsizetype>> visibleCharacterRanges(qint64 location, qint64 length,
                                                                    const QString &text)
{
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    const qint64 textLength = text.size();
    if (location < 0 || length < 1 || location >= textLength)
        return runs;
    // Clip before adding: stored values can be anything up to 2^63.
    const qsizetype end = qsizetype(length > textLength - location ? textLength : location + length);
    qsizetype runStart = -1;
    for (qsizetype k = qsizetype(location); k < end; ++k) {
        const bool visible = !text.at(k).isSpace();
        if (visible && runStart < 0)
            runStart = k;
        if (!visible && runStart >= 0) {
            runs.emplace_back(runStart, k - runStart);
            runStart = -1;
        }
    }
    if (runStart >= 0)
        runs.emplace_back(runStart, end - runStart);
    return runs;
}

namespace {

// Wraps the text into the rectangle and elides the last line that fits when more remains.
void drawWrappedText(QPainter *painter, const QRectF &rect, const QString &text, const QFont &font, bool truncate)
{
    TextBandLayout layout(text, font, rect.width(), 0);
    layout.layout(rect.height() + 1);
    const auto &lines = layout.lines();
    std::size_t fitting = 0;
    while (fitting < lines.size() && lines[fitting].textBottom() <= rect.height() + 0.5)
        ++fitting;
    const bool cut = truncate && (fitting < lines.size() || !layout.isComplete());
    if (!cut) {
        layout.draw(painter, rect.topLeft(), rect.height() + 0.5);
        return;
    }
    if (fitting == 0)
        return;
    layout.draw(painter, rect.topLeft(), lines[fitting - 1].top);
    const auto &last = lines[fitting - 1];
    const QString rest = text.mid(last.start).section(QRegularExpression(QStringLiteral("[\r\n]")), 0, 0);
    const QFontMetricsF metrics(font);
    const QString elided = metrics.elidedText(rest + QStringLiteral("\u2026\u2026"), Qt::ElideRight, rect.width());
    painter->setFont(font);
    painter->drawText(QPointF(rect.left(), rect.top() + last.textTop() + metrics.ascent()), elided);
}

} // namespace

void drawCallout(QPainter *painter, const TextAnnotationCalloutPlacement &placement)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF bubble = placement.bubbleRect;
    const QColor stroke = HexColor::drawingColor(QStringLiteral("#1D4ED8"));
    painter->setPen(QPen(stroke, 1.4));
    painter->setBrush(HexColor::drawingColor(QStringLiteral("#FBBF24")));
    painter->drawRoundedRect(bubble, 8, 8);

    QPainterPath pointer;
    pointer.moveTo(placement.pointerCenterX, placement.targetRect.top() - 2);
    pointer.lineTo(placement.pointerCenterX - 7, bubble.bottom());
    pointer.lineTo(placement.pointerCenterX + 7, bubble.bottom());
    pointer.closeSubpath();
    painter->fillPath(pointer, stroke);

    const QRectF box = bubble.adjusted(12, 7, -12, -7);
    const QFont font = noteFont();
    painter->setFont(font);
    painter->setPen(HexColor::drawingColor(QStringLiteral("#0F172A")));
    painter->drawText(QRectF(box.left(), box.top(), 34, box.height()), Qt::AlignLeft | Qt::AlignTop,
                      QString::number(placement.annotation.sequenceNumber) + u'.');
    const QRectF noteRect(box.left() + 34, box.top(), noteTextWidth(bubble.width()), box.height());
    drawWrappedText(painter, noteRect, placement.annotation.note.trimmed(), font, true);
    painter->restore();
}

} // namespace TextAnnotationCalloutLayout
