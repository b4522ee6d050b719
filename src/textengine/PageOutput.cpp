#include "textengine/PageOutput.h"

#include "model/AppFont.h"
#include "platform/PdfTextLayer.h"
#include "textengine/TextBandLayout.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>
#include <limits>

namespace PageOutput {

std::optional<QByteArray> png(QSizeF pageSize, qreal scale, const DrawPage &draw)
{
    const qreal s = std::max(scale, qreal(1));
    const double pixelWidth = std::trunc(double(pageSize.width()) * s);
    const double pixelHeight = std::trunc(double(pageSize.height()) * s);
    if (!(pixelWidth >= 1 && pixelHeight >= 1 && pixelWidth <= 32767 && pixelHeight <= 32767))
        return std::nullopt;
    QImage image(int(pixelWidth), int(pixelHeight), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        if (!painter.isActive())
            return std::nullopt;
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        painter.scale(s, s);
        draw(&painter);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> pdf(QSizeF pageSize, const DrawPage &draw)
{
    if (!(pageSize.width() > 0 && pageSize.height() > 0 && std::isfinite(pageSize.width())
          && std::isfinite(pageSize.height())))
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setCreator(QString());
        writer.setTitle(QString());
        writer.setPageSize(QPageSize(pageSize, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        QPainter painter;
        if (!painter.begin(&writer))
            return std::nullopt;
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        draw(&painter);
        if (!painter.end())
            return std::nullopt;
    }
    buffer.close();
    if (bytes.isEmpty())
        return std::nullopt;
    return PdfTextLayer::withIdeographsForRadicals(bytes);
}

QFont font(double pixelSize, QFont::Weight weight)
{
    QFont result = AppFont::font(pixelSize, weight);
    result.setStyleStrategy(QFont::PreferNoShaping);
    return result;
}

void drawTextAt(QPainter *painter, QPointF topLeft, const QString &text, const QFont &font, const QColor &color)
{
    painter->save();
    painter->setFont(font);
    painter->setPen(color);
    const QFontMetricsF metrics(font);
    painter->drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
    painter->restore();
}

Decorations::Decorations(qsizetype length)
    : m_background(std::size_t(std::max<qsizetype>(length, 0)))
    , m_underline(m_background.size())
    , m_strike(m_background.size())
{
}

void Decorations::setBackground(qsizetype start, qsizetype end, std::optional<QColor> color)
{
    end = std::min<qsizetype>(end, qsizetype(m_background.size()));
    for (qsizetype k = std::max<qsizetype>(start, 0); k < end; ++k)
        m_background[std::size_t(k)] = color;
}

void Decorations::setUnderline(qsizetype start, qsizetype end, std::optional<QColor> color, qreal thickness)
{
    end = std::min<qsizetype>(end, qsizetype(m_underline.size()));
    for (qsizetype k = std::max<qsizetype>(start, 0); k < end; ++k)
        m_underline[std::size_t(k)] = color ? Line{*color, thickness, true} : Line{};
}

void Decorations::setStrike(qsizetype start, qsizetype end, std::optional<QColor> color)
{
    end = std::min<qsizetype>(end, qsizetype(m_strike.size()));
    for (qsizetype k = std::max<qsizetype>(start, 0); k < end; ++k)
        m_strike[std::size_t(k)] = color ? Line{*color, 1, true} : Line{};
}

namespace {

// Calls visit(line, start, end) for each maximal run of equal values within each drawn line.
template<typename Equal, typename Visit>
void forEachRun(const TextBandLayout &layout, qsizetype size, qreal maxBottom, Equal equal, Visit visit)
{
    for (int index = 0; index < int(layout.lines().size()); ++index) {
        const auto &line = layout.lines()[std::size_t(index)];
        if (line.textBottom() > maxBottom)
            break;
        const qsizetype end = std::min(line.end, size);
        qsizetype runStart = line.start;
        for (qsizetype k = line.start + 1; k <= end; ++k) {
            if (k == end || !equal(runStart, k)) {
                if (runStart < end)
                    visit(index, runStart, k);
                runStart = k;
            }
        }
    }
}

} // namespace

void Decorations::drawBackgrounds(QPainter *painter, const TextBandLayout &layout, QPointF origin,
                                  qreal maxBottom) const
{
    const auto size = qsizetype(m_background.size());
    forEachRun(
        layout, size, maxBottom,
        [&](qsizetype a, qsizetype b) { return m_background[std::size_t(a)] == m_background[std::size_t(b)]; },
        [&](int index, qsizetype start, qsizetype end) {
            const auto &color = m_background[std::size_t(start)];
            if (!color)
                return;
            const auto &line = layout.lines()[std::size_t(index)];
            const qreal x0 = layout.xAt(index, start);
            const qreal x1 = layout.xAt(index, end);
            painter->fillRect(QRectF(origin.x() + std::min(x0, x1), origin.y() + line.textTop(), std::abs(x1 - x0),
                                     line.textHeight),
                              *color);
        });
}

void Decorations::drawLines(QPainter *painter, const TextBandLayout &layout, const QFont &font, QPointF origin,
                            qreal maxBottom) const
{
    const QFontMetricsF metrics(font);
    const auto size = qsizetype(m_underline.size());
    auto drawKind = [&](const std::vector<Line> &lines, bool isUnderline) {
        forEachRun(
            layout, size, maxBottom,
            [&](qsizetype a, qsizetype b) {
                const Line &p = lines[std::size_t(a)];
                const Line &q = lines[std::size_t(b)];
                return p.on == q.on && (!p.on || (p.color == q.color && p.thickness == q.thickness));
            },
            [&](int index, qsizetype start, qsizetype end) {
                const Line &style = lines[std::size_t(start)];
                if (!style.on)
                    return;
                const auto &line = layout.lines()[std::size_t(index)];
                const qreal baseline = line.textTop() + metrics.ascent();
                const qreal thickness = std::max(metrics.lineWidth(), qreal(1)) * style.thickness;
                const qreal y = isUnderline ? baseline + metrics.underlinePos() : baseline - metrics.xHeight() / 2;
                const qreal x0 = layout.xAt(index, start);
                const qreal x1 = layout.xAt(index, end);
                painter->fillRect(QRectF(origin.x() + std::min(x0, x1), origin.y() + y - thickness / 2,
                                         std::abs(x1 - x0), thickness),
                                  style.color);
            });
    };
    drawKind(m_underline, true);
    drawKind(m_strike, false);
}

std::vector<std::pair<int, QRectF>> drawnSegments(const TextBandLayout &layout, qsizetype start, qsizetype end,
                                                  qreal maxBottom)
{
    std::vector<std::pair<int, QRectF>> result;
    for (const auto &segment : layout.segmentRects(start, end)) {
        if (layout.lines()[std::size_t(segment.first)].textBottom() <= maxBottom)
            result.push_back(segment);
    }
    return result;
}

} // namespace PageOutput
