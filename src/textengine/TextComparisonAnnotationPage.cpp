// The single-markup page of the renderer: note number, kinds of marking, note, and excerpts.
#include "textengine/TextComparisonRenderer.h"

#include "model/HexColor.h"
#include "textengine/PageOutput.h"
#include "textengine/TextAnnotationCalloutLayout.h"
#include "textengine/TextBandLayout.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace TextComparisonRenderer {

namespace {

QColor annotationPageHex(const QString &text)
{
    return HexColor::drawingColor(text);
}

// A position between the halves of a surrogate pair moves to the start of the pair.
qsizetype snapped(const QString &text, qsizetype position)
{
    if (position > 0 && position < text.size() && text.at(position - 1).isHighSurrogate()
        && text.at(position).isLowSurrogate())
        return position - 1;
    return position;
}

QString accentColor(const TextMarkupAnnotation &annotation)
{
    if (annotation.underline)
        return annotation.underlineColorHex;
    if (!annotation.strikethrough && annotation.highlightColorHex != QLatin1String("none"))
        return annotation.highlightColorHex;
    return QStringLiteral("#DC2626");
}

struct Card {
    QString label;
    QString accent;
    QString text;
    QFont font;
    qreal minimumHeight;
};

std::unique_ptr<TextBandLayout> cardLayout(const QString &text, const QFont &font, qreal width)
{
    auto layout = std::make_unique<TextBandLayout>(text, font, width, 7);
    layout->layout();
    return layout;
}

qreal measured(const TextBandLayout &layout, qreal minimum)
{
    return std::max(std::ceil(layout.height()), minimum);
}

void drawPill(QPainter *painter, const QString &text, const QString &colorHex, const QRectF &rect)
{
    QColor color = annotationPageHex(colorHex);
    QColor fill = color;
    fill.setAlphaF(0.14f);
    QColor stroke = color;
    stroke.setAlphaF(0.32f);
    painter->setPen(QPen(stroke, 1));
    painter->setBrush(fill);
    painter->drawRoundedRect(rect, 17, 17);
    const QFont font = PageOutput::font(14, QFont::Bold);
    const QFontMetricsF metrics(font);
    const qreal w = metrics.horizontalAdvance(text);
    PageOutput::drawTextAt(painter, QPointF(rect.center().x() - w / 2, rect.center().y() - metrics.height() / 2), text,
                           font, color);
}

struct AnnotationPage {
    AnnotationPageModel model;
    qreal width = 0;
    qreal height = 0;
    std::vector<Card> cards;
    std::vector<std::unique_ptr<TextBandLayout>> layouts;
    std::vector<qreal> heights;
};

AnnotationPage buildPage(const AnnotationPageModel &model, qreal width)
{
    AnnotationPage page;
    page.model = model;
    page.width = width;
    const QString accent = accentColor(model.annotation);
    page.cards = {
        {QStringLiteral("批注说明"), accent, model.noteText, PageOutput::font(18), 58},
        {QStringLiteral("原文上下文"), QStringLiteral("#2563EB"), model.originalSnippet.text, PageOutput::font(17), 82},
        {QStringLiteral("修改文案上下文"), accent, model.editedSnippet.text, PageOutput::font(17), 82},
    };
    qreal total = 0;
    for (const Card &card : page.cards) {
        page.layouts.push_back(cardLayout(card.text, card.font, width - 144));
        page.heights.push_back(measured(*page.layouts.back(), card.minimumHeight));
        total += page.heights.back();
    }
    // Room for all three cards (they end 410 points below the top plus the measured texts)
    // and the same 48-point margin below the last one as beside the cards.
    page.height = std::max(qreal(720), std::ceil(total + 410 + 48));
    return page;
}

void drawAnnotationPage(QPainter *painter, const AnnotationPage &page)
{
    const AnnotationPageModel &model = page.model;
    const qreal w = page.width;
    painter->fillRect(QRectF(0, 0, w, page.height), annotationPageHex(QStringLiteral("#F8FAFC")));
    PageOutput::drawTextAt(painter, QPointF(48, 38), model.title, PageOutput::font(30, QFont::Bold),
                           annotationPageHex(QStringLiteral("#0F172A")));
    PageOutput::drawTextAt(painter, QPointF(50, 78), model.sourceName, PageOutput::font(14, QFont::DemiBold),
                           annotationPageHex(QStringLiteral("#64748B")));
    drawPill(painter, model.markerText, QStringLiteral("#DC2626"), QRectF(w - 180, 42, 132, 34));
    const qreal styleWidth
        = QFontMetricsF(PageOutput::font(14, QFont::DemiBold)).horizontalAdvance(model.styleSummary) + 34;
    drawPill(painter, model.styleSummary, accentColor(model.annotation),
             QRectF(48, 112, std::min(std::max(styleWidth, qreal(140)), qreal(360)), 34));

    qreal y = 166;
    for (std::size_t k = 0; k < page.cards.size(); ++k) {
        const Card &card = page.cards[k];
        const qreal textHeight = page.heights[k];
        const QRectF rect(48, y, w - 96, textHeight + 68);
        painter->setPen(QPen(annotationPageHex(QStringLiteral("#DDE3EA")), 1));
        painter->setBrush(Qt::white);
        painter->drawRoundedRect(rect, 12, 12);
        PageOutput::drawTextAt(painter, QPointF(rect.x() + 24, rect.y() + 20), card.label,
                               PageOutput::font(16, QFont::Bold), annotationPageHex(QStringLiteral("#0F172A")));
        painter->fillRect(QRectF(rect.x() + 24, rect.y() + 48, 44, 3), annotationPageHex(card.accent));

        const QPointF origin(rect.x() + 24, rect.y() + 64);
        const TextBandLayout &layout = *page.layouts[k];
        const qreal limit = textHeight + 0.5;
        const bool withMarkup = k == 2 && model.editedSnippet.annotationRange;
        PageOutput::Decorations decorations(card.text.size());
        if (withMarkup) {
            const auto [location, length] = *model.editedSnippet.annotationRange;
            const TextMarkupAnnotation &a = model.annotation;
            if (location >= 0 && length >= 1 && length <= card.text.size() - location) {
                const auto runs = TextAnnotationCalloutLayout::visibleCharacterRanges(location, length, card.text);
                if (!a.strikethrough && a.highlight && a.highlightColorHex != QLatin1String("none")) {
                    for (const auto &[start, count] : runs)
                        decorations.setBackground(start, start + count, annotationPageHex(a.highlightColorHex));
                }
                if (a.underline)
                    decorations.setUnderline(location, location + length, annotationPageHex(a.underlineColorHex), 2);
                if (a.strikethrough) {
                    for (const auto &[start, count] : runs)
                        decorations.setBackground(start, start + count, std::nullopt);
                    decorations.setStrike(location, location + length, annotationPageHex(QStringLiteral("#DC2626")));
                }
            }
        }
        decorations.drawBackgrounds(painter, layout, origin, limit);
        painter->setPen(annotationPageHex(QStringLiteral("#334155")));
        layout.draw(painter, origin, limit);
        decorations.drawLines(painter, layout, card.font, origin, limit);
        y = rect.bottom() + 20;
    }
}

const TextMarkupAnnotation *findAnnotation(const TextComparisonState &state, const QUuid &id)
{
    for (const TextMarkupAnnotation &annotation : state.annotations) {
        if (annotation.id == id)
            return &annotation;
    }
    return nullptr;
}

} // namespace

QStringList annotationStyleNames(const TextMarkupAnnotation &annotation)
{
    QStringList names;
    if (!annotation.note.trimmed().isEmpty() || annotation.highlight)
        names << QStringLiteral("批注");
    if (annotation.underline)
        names << QStringLiteral("下划线");
    if (annotation.strikethrough)
        names << QStringLiteral("划掉");
    return names;
}

AnnotationSnippet makeAnnotationSnippet(const QString &text, const TextMarkupAnnotation &annotation)
{
    const qsizetype length = text.size();
    if (length < 1)
        return {QStringLiteral("无内容"), std::nullopt};
    const qsizetype location = qsizetype(std::clamp<qint64>(annotation.location, 0, length));
    const qsizetype count = qsizetype(std::min<qint64>(std::max<qint64>(annotation.length, 0), length - location));
    const qsizetype start = snapped(text, std::max<qsizetype>(location - 80, 0));
    // Compared without adding to a possibly huge stored length: count is already clipped.
    const bool moreAfter = location + count < length - 120;
    const qsizetype end = snapped(text, moreAfter ? location + count + 120 : length);
    qsizetype keptStart = start;
    qsizetype keptEnd = end;
    while (keptStart < keptEnd && text.at(keptStart).isSpace())
        ++keptStart;
    while (keptEnd > keptStart && text.at(keptEnd - 1).isSpace())
        --keptEnd;
    if (keptEnd <= keptStart)
        return {QStringLiteral("无内容"), std::nullopt};
    const QString prefix = start > 0 ? QStringLiteral("... ") : QString();
    const QString suffix = moreAfter ? QStringLiteral(" ...") : QString();
    AnnotationSnippet snippet{prefix + text.mid(keptStart, keptEnd - keptStart) + suffix, std::nullopt};
    const qsizetype markStart = std::max(location, keptStart);
    const qsizetype markEnd = std::min(location + count, keptEnd);
    if (count > 0 && markEnd > markStart)
        snippet.annotationRange = std::make_pair(prefix.size() + (markStart - keptStart), markEnd - markStart);
    return snippet;
}

AnnotationPageModel makeAnnotationPageModel(const TextComparisonState &state, const TextComparisonResult &result,
                                            const TextMarkupAnnotation &annotation)
{
    const QString &aligned = result.alignedOriginal;
    const QStringList styles = annotationStyleNames(annotation);
    AnnotationPageModel model;
    model.title = QStringLiteral("单独批注页");
    model.sourceName = state.sourceName;
    model.markerText = QStringLiteral("批注 ") + QString::number(std::max<qint64>(annotation.sequenceNumber, 1));
    model.styleSummary = styles.isEmpty() ? QStringLiteral("批注") : styles.join(QStringLiteral(" / "));
    model.noteText = annotation.note.trimmed().isEmpty() ? QStringLiteral("无批注说明") : annotation.note;
    model.originalSnippet = makeAnnotationSnippet(aligned, annotation);
    model.editedSnippet = makeAnnotationSnippet(state.editedText, annotation);
    model.annotation = annotation;
    return model;
}

QSizeF annotationPageSize(const AnnotationPageModel &model, qreal width)
{
    const AnnotationPage page = buildPage(model, width);
    return QSizeF(width, page.height);
}

std::optional<QByteArray> annotationPagePNGData(const TextComparisonState &state, const TextComparisonResult &result,
                                                const QUuid &annotationID, qreal width, qreal scale)
{
    const TextMarkupAnnotation *annotation = findAnnotation(state, annotationID);
    if (!annotation)
        return std::nullopt;
    const AnnotationPage page = buildPage(makeAnnotationPageModel(state, result, *annotation), width);
    return PageOutput::png(QSizeF(width, page.height), scale,
                           [&page](QPainter *painter) { drawAnnotationPage(painter, page); });
}

std::optional<QByteArray> annotationPagePDFData(const TextComparisonState &state, const TextComparisonResult &result,
                                                const QUuid &annotationID, qreal width)
{
    const TextMarkupAnnotation *annotation = findAnnotation(state, annotationID);
    if (!annotation)
        return std::nullopt;
    const AnnotationPage page = buildPage(makeAnnotationPageModel(state, result, *annotation), width);
    return PageOutput::pdf(QSizeF(width, page.height),
                           [&page](QPainter *painter) { drawAnnotationPage(painter, page); });
}

} // namespace TextComparisonRenderer
