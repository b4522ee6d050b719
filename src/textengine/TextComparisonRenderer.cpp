#include "textengine/TextComparisonRenderer.h"

#include "model/HexColor.h"
#include "textengine/PageOutput.h"
#include "textengine/TextAnnotationCalloutLayout.h"
#include "textengine/TextBandLayout.h"
#include "textengine/TextComparisonSummary.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <map>
#include <memory>

namespace TextComparisonRenderer {

namespace {

constexpr qreal fullPageCap = 2400;
constexpr qreal editedPageCap = 2600;

QColor rendererHex(const char *text)
{
    return HexColor::drawingColor(QString::fromLatin1(text));
}

struct Column {
    QRectF card;
    QString title;
    QString text;
    bool decorated = false;
    std::unique_ptr<TextBandLayout> layout;

    QRectF textRect() const
    {
        return QRectF(card.x() + 30, card.y() + 132, card.width() - 60, card.height() - 162);
    }
    bool isCut() const
    {
        if (!layout->isComplete())
            return true;
        const auto &lines = layout->lines();
        return !lines.empty() && lines.back().textBottom() > textRect().height();
    }
};

// Lays the text out with the bubble bands it reserves, far enough to know whether it passes the cap.
std::unique_ptr<TextBandLayout> columnLayout(const QString &text, const std::vector<TextMarkupAnnotation> &annotations,
                                             qreal textWidth, qreal cap)
{
    auto layout = std::make_unique<TextBandLayout>(text, bodyFont(), textWidth, 5);
    layout->setSpacing(TextAnnotationCalloutLayout::calloutSpacing(text, annotations, textWidth));
    layout->layout(cap);
    return layout;
}

qreal bodyHeight(const std::vector<const TextBandLayout *> &layouts, qreal cap)
{
    qreal content = 0;
    for (const TextBandLayout *layout : layouts)
        content = std::max(content, std::ceil(layout->height()));
    return std::max(std::min(content + 180, cap), qreal(560));
}

struct Page {
    qreal width = 0;
    qreal height = 0;
    QString title;
    QString subtitle;
    QPointF titleAt;
    QPointF subtitleAt;
    std::vector<Column> columns;
    std::vector<TextComparisonChange> changes;
    std::vector<TextMarkupAnnotation> annotations;
};

Page fullPage(const TextComparisonState &state, const TextComparisonResult &result, const QString &title, qreal width)
{
    Page page;
    page.width = width;
    page.changes = result.changes;
    page.annotations = state.annotations;
    const QString &aligned = result.alignedOriginal;
    const qreal column = (width - 88 - 24) * 0.5;
    const qreal textWidth = column - 60;
    Column left{QRectF(), QStringLiteral("原文"), aligned, false,
                columnLayout(aligned, state.annotations, textWidth, fullPageCap)};
    Column right{QRectF(), QStringLiteral("修改文案"), state.editedText, true,
                 columnLayout(state.editedText, state.annotations, textWidth, fullPageCap)};
    const qreal body = bodyHeight({left.layout.get(), right.layout.get()}, fullPageCap);
    left.card = QRectF(44, 110, column, body);
    right.card = QRectF(44 + column + 24, 110, column, body);
    page.height = body + 110 + 44;
    page.title = title;
    page.titleAt = QPointF(44, 32);
    page.subtitle =
        TextComparisonSummaryBuilder::summary(qint64(page.changes.size()), state.annotations).displayText();
    page.subtitleAt = QPointF(44, 70);
    page.columns.push_back(std::move(left));
    page.columns.push_back(std::move(right));
    return page;
}

Page editedPage(const TextComparisonState &state, const TextComparisonResult &result, const QString &title, qreal width)
{
    Page page;
    page.width = width;
    page.changes = result.changes;
    page.annotations = state.annotations;
    const qreal cardWidth = width - 96;
    Column card{QRectF(), QStringLiteral("修改文案"), state.editedText, true,
                columnLayout(state.editedText, state.annotations, cardWidth - 60, editedPageCap)};
    const qreal body = bodyHeight({card.layout.get()}, editedPageCap);
    card.card = QRectF(48, 110, cardWidth, body);
    page.height = body + 110 + 44;
    page.title = title;
    page.titleAt = QPointF(48, 32);
    page.subtitle = state.sourceName + QStringLiteral(" \u00B7 ")
        + TextComparisonSummaryBuilder::summary(qint64(page.changes.size()), state.annotations).displayText();
    page.subtitleAt = QPointF(48, 70);
    page.columns.push_back(std::move(card));
    return page;
}

void drawMarkupLines(QPainter *painter, const Column &column, const std::vector<TextMarkupAnnotation> &annotations)
{
    const QRectF area = column.textRect();
    for (const TextMarkupAnnotation &annotation : annotations) {
        if (!annotation.underline && !annotation.strikethrough)
            continue;
        const auto range = annotation.nsRange(column.text);
        if (!range)
            continue;
        for (const auto &[start, length] :
             TextAnnotationCalloutLayout::visibleCharacterRanges(range->first, range->second, column.text)) {
            for (const auto &[line, rect] : PageOutput::drawnSegments(*column.layout, start, start + length, area.height())) {
                const qreal x0 = area.x() + rect.left();
                const qreal x1 = area.x() + rect.right();
                if (annotation.underline) {
                    painter->setPen(QPen(HexColor::drawingColor(annotation.underlineColorHex), 2.4, Qt::SolidLine, Qt::FlatCap));
                    const qreal y = area.y() + rect.bottom() - 2.5;
                    painter->drawLine(QPointF(x0, y), QPointF(x1, y));
                }
                if (annotation.strikethrough) {
                    painter->setPen(QPen(rendererHex("#DC2626"), 2.4, Qt::SolidLine, Qt::FlatCap));
                    const qreal y = area.y() + rect.center().y();
                    painter->drawLine(QPointF(x0, y), QPointF(x1, y));
                }
            }
        }
    }
}

void drawChangeBadges(QPainter *painter, const Column &column, const std::vector<TextComparisonChange> &changes)
{
    const QRectF area = column.textRect();
    const QFont font = PageOutput::font(10, QFont::Bold);
    const QFontMetricsF metrics(font);
    painter->setFont(font);
    for (const TextComparisonChange &change : changes) {
        const auto [location, length] = change.nsRange(column.text);
        if (location >= column.text.size() || length < 1)
            continue;
        const int index = column.layout->lineAt(location);
        if (index < 0)
            continue;
        const auto &line = column.layout->lines()[std::size_t(index)];
        if (line.textBottom() > area.height())
            continue;
        const QRectF circle(area.x() - 17, area.y() + line.textTop() + 1, 20, 20);
        painter->setPen(Qt::NoPen);
        painter->setBrush(rendererHex("#2563EB"));
        painter->drawEllipse(circle);
        const QString number = QString::number(change.sequenceNumber);
        const qreal w = metrics.horizontalAdvance(number);
        painter->setPen(Qt::white);
        painter->drawText(QPointF(circle.center().x() - w / 2, circle.center().y() - metrics.height() / 2 + metrics.ascent()),
                          number);
    }
}

void drawCallouts(QPainter *painter, const Column &column, const std::vector<TextMarkupAnnotation> &annotations)
{
    using namespace TextAnnotationCalloutLayout;
    const QRectF area = column.textRect();
    const qreal minY = column.card.y() + 66;
    const qsizetype textLength = column.text.size();
    std::map<qint64, std::vector<RawCallout>> groups;
    for (const TextMarkupAnnotation &annotation : annotations) {
        if (!getsBubble(annotation, column.text))
            continue;
        const qint64 clipped = std::min<qint64>(textLength - annotation.location, annotation.length);
        const auto runs = visibleCharacterRanges(annotation.location, clipped, column.text);
        const qsizetype anchorStart = runs.empty() ? qsizetype(annotation.location) : runs.front().first;
        const qsizetype anchorEnd = runs.empty() ? qsizetype(annotation.location + clipped)
                                                 : runs.front().first + runs.front().second;
        const int index = column.layout->lineAt(anchorStart);
        if (index < 0 || column.layout->lines()[std::size_t(index)].textBottom() > area.height())
            continue;
        const QRectF used = column.layout->lines()[std::size_t(index)].usedRect();
        QRectF rect;
        for (const auto &segment : column.layout->segmentRects(anchorStart, anchorEnd))
            rect = rect.isNull() ? segment.second : rect.united(segment.second);
        const QRectF base = (rect.isNull() || rect.isEmpty()) ? used : rect;
        const qint64 lineKey = std::lround((area.y() + used.top()) * 0.5);
        const qreal w = bubbleWidth(annotation, std::max(area.width() - 28, qreal(132)));
        const qreal h = bubbleHeight(annotation, w);
        if (w <= 0 || h <= 0)
            continue;
        const QRectF target(area.x() + base.left(), area.y() + used.top(), std::max(base.width(), qreal(24)),
                            std::max(used.height(), qreal(18)));
        groups[lineKey].push_back({annotation, target, lineKey, w, h});
    }
    for (const auto &group : groups) {
        for (const auto &placement : placements(group.first, groups, area, minY))
            drawCallout(painter, placement);
    }
}

void drawColumn(QPainter *painter, const Column &column, const Page &page)
{
    painter->setPen(QPen(rendererHex("#DDE3EA"), 1));
    painter->setBrush(Qt::white);
    painter->drawRoundedRect(column.card, 10, 10);
    PageOutput::drawTextAt(painter, QPointF(column.card.x() + 24, column.card.y() + 22), column.title,
                           PageOutput::font(17, QFont::Bold), rendererHex("#0F172A"));

    const QRectF area = column.textRect();
    const TextBandLayout &layout = *column.layout;
    const qsizetype covered = layout.lines().empty() ? 0 : std::min(layout.lines().back().keyEnd, column.text.size());
    PageOutput::Decorations decorations(covered);
    if (column.decorated) {
        for (const TextComparisonChange &change : page.changes) {
            const auto [location, length] = change.nsRange(column.text);
            if (length < 1)
                continue;
            decorations.setBackground(location, location + length, rendererHex("#FDE68A"));
            decorations.setUnderline(location, location + length, rendererHex("#D97706"));
        }
        for (const TextMarkupAnnotation &annotation : page.annotations) {
            const auto range = annotation.nsRange(column.text);
            if (!range)
                continue;
            const auto runs =
                TextAnnotationCalloutLayout::visibleCharacterRanges(range->first, range->second, column.text);
            if (annotation.highlight && annotation.highlightColorHex != QLatin1String("none")) {
                for (const auto &[start, length] : runs)
                    decorations.setBackground(start, start + length, HexColor::drawingColor(annotation.highlightColorHex));
            }
            if (annotation.underline)
                decorations.setUnderline(range->first, range->first + range->second, std::nullopt);
            if (annotation.strikethrough) {
                for (const auto &[start, length] : runs)
                    decorations.setBackground(start, start + length, std::nullopt);
            }
        }
    }
    decorations.drawBackgrounds(painter, layout, area.topLeft(), area.height());
    painter->setPen(rendererHex("#334155"));
    layout.draw(painter, area.topLeft(), area.height());
    decorations.drawLines(painter, layout, bodyFont(), area.topLeft(), area.height());
    if (column.decorated) {
        drawMarkupLines(painter, column, page.annotations);
        drawChangeBadges(painter, column, page.changes);
        drawCallouts(painter, column, page.annotations);
    }
    if (column.isCut()) {
        PageOutput::drawTextAt(painter, QPointF(area.x(), area.bottom() + 4), truncationMarker,
                               PageOutput::font(14, QFont::DemiBold), rendererHex("#64748B"));
    }
}

void drawPage(QPainter *painter, const Page &page)
{
    painter->fillRect(QRectF(0, 0, page.width, page.height), rendererHex("#F8FAFC"));
    PageOutput::drawTextAt(painter, page.titleAt, page.title, PageOutput::font(28, QFont::Bold), rendererHex("#0F172A"));
    PageOutput::drawTextAt(painter, page.subtitleAt, page.subtitle, PageOutput::font(15, QFont::DemiBold),
                           rendererHex("#64748B"));
    for (const Column &column : page.columns)
        drawColumn(painter, column, page);
}

bool isCut(const Page &page)
{
    for (const Column &column : page.columns) {
        if (column.isCut())
            return true;
    }
    return false;
}

std::optional<QByteArray> render(const Page &page, std::optional<qreal> scale, bool *truncated)
{
    if (truncated)
        *truncated = isCut(page);
    const auto draw = [&page](QPainter *painter) { drawPage(painter, page); };
    const QSizeF size(page.width, page.height);
    return scale ? PageOutput::png(size, *scale, draw) : PageOutput::pdf(size, draw);
}

PageGeometry geometry(const Page &page)
{
    PageGeometry result;
    result.pageSize = QSizeF(page.width, page.height);
    for (const Column &column : page.columns)
        result.cards.push_back(column.card);
    result.truncated = isCut(page);
    return result;
}

} // namespace

QFont bodyFont()
{
    return PageOutput::font(20);
}

std::optional<QByteArray> pngData(const TextComparisonState &state, const TextComparisonResult &result,
                                  const QString &title, qreal width, qreal scale, bool *truncated)
{
    return render(fullPage(state, result, title, width), scale, truncated);
}

std::optional<QByteArray> pdfData(const TextComparisonState &state, const TextComparisonResult &result,
                                  const QString &title, qreal width, bool *truncated)
{
    return render(fullPage(state, result, title, width), std::nullopt, truncated);
}

std::optional<QByteArray> editedPagePNGData(const TextComparisonState &state, const TextComparisonResult &result,
                                            const QString &title, qreal width, qreal scale, bool *truncated)
{
    return render(editedPage(state, result, title, width), scale, truncated);
}

std::optional<QByteArray> editedPagePDFData(const TextComparisonState &state, const TextComparisonResult &result,
                                            const QString &title, qreal width, bool *truncated)
{
    return render(editedPage(state, result, title, width), std::nullopt, truncated);
}

PageGeometry fullPageGeometry(const TextComparisonState &state, const TextComparisonResult &result, qreal width)
{
    return geometry(fullPage(state, result, QString(), width));
}

PageGeometry editedPageGeometry(const TextComparisonState &state, const TextComparisonResult &result, qreal width)
{
    return geometry(editedPage(state, result, QString(), width));
}

} // namespace TextComparisonRenderer
