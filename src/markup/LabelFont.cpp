#include "markup/LabelFont.h"

#include "model/AppFont.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <cmath>

namespace LabelFont {

namespace {

// Made per call: a font kept in a static would outlive the application's font database and be
// torn down after it. Layouts are cached by the geometry, so this is not on a hot path.
QFontMetricsF referenceMetrics()
{
    return QFontMetricsF(referenceFont());
}

// Glyph outlines at the reference size, by face and glyph index. Loading an outline from the font
// file costs as much as filling it, and labels repeat the same few glyphs (digits, common words).
// Plain path data only, so keeping it in a static is safe; it is bounded by starting over.
struct GlyphKey {
    QString face;
    quint32 glyph = 0;
    bool operator==(const GlyphKey &) const = default;
};

size_t qHash(const GlyphKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.face, key.glyph);
}

constexpr qsizetype glyphCacheLimit = 4096;

std::optional<QPainterPath> glyphOutline(const QRawFont &font, quint32 glyph)
{
    static QMutex mutex;
    static QHash<GlyphKey, QPainterPath> cache;
    GlyphKey key{font.familyName() + QLatin1Char('|') + font.styleName() + QLatin1Char('|')
                     + QString::number(font.weight()) + QLatin1Char('|') + QString::number(font.pixelSize()),
                 glyph};
    {
        QMutexLocker lock(&mutex);
        const auto found = cache.constFind(key);
        if (found != cache.constEnd())
            return *found;
    }
    QPainterPath path = font.pathForGlyph(glyph);
    // An empty outline is fine for blank glyphs (spaces); a glyph with ink but no outline is a
    // bitmap.
    if (path.isEmpty() && !font.boundingRect(glyph).isEmpty())
        return std::nullopt;
    QMutexLocker lock(&mutex);
    if (cache.size() >= glyphCacheLimit)
        cache.clear();
    cache.insert(key, path);
    return path;
}

} // namespace

QFont referenceFont()
{
    QFont font = AppFont::font(referencePixelSize, QFont::DemiBold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

double advance(const QString &text, double fontSize)
{
    if (text.isEmpty())
        return 0;
    return referenceMetrics().horizontalAdvance(text) * (fontSize / referencePixelSize);
}

double naturalLineHeight(double fontSize)
{
    const QFontMetricsF m = referenceMetrics();
    return (m.ascent() + m.descent() + m.leading()) * (fontSize / referencePixelSize);
}

void drawLine(QPainter &painter, const QRectF &rect, const QString &line, double fontSize)
{
    const double scale = fontSize / referencePixelSize;
    if (!(scale > 0) || !std::isfinite(scale) || rect.isEmpty())
        return;
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(scale, scale);
    painter.setFont(referenceFont());
    // Clipped rather than wrapped: the line was already broken by the layout.
    painter.drawText(QRectF(0, 0, rect.width() / scale, rect.height() / scale),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
    painter.restore();
}

std::optional<LineOutline> lineOutline(const QRectF &rect, const QString &line, double fontSize)
{
    const double scale = fontSize / referencePixelSize;
    if (!(scale > 0) || !std::isfinite(scale) || rect.isEmpty())
        return std::nullopt;
    // Laid out as QPainter::drawText lays out a single, unwrapped line at the top left of its
    // rectangle: first line at y = 0, a line width that never wraps, trailing spaces kept.
    QString text = line;
    for (QChar &c : text)
        if (c == u'\n' || c == u'\r')
            c = u' ';
    QTextLayout layout(text, referenceFont());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (!textLine.isValid()) {
        layout.endLayout();
        return LineOutline{};
    }
    textLine.setLineWidth(0x01000000);
    textLine.setPosition(QPointF(0, 0));
    layout.endLayout();

    QPainterPath reference;
    reference.setFillRule(Qt::WindingFill);
    const QList<QGlyphRun> runs = layout.glyphRuns();
    for (const QGlyphRun &run : runs) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            const std::optional<QPainterPath> outline = glyphOutline(font, glyphs.at(i));
            if (!outline)
                return std::nullopt;
            if (!outline->isEmpty())
                reference.addPath(outline->translated(positions.at(i)));
        }
    }
    const QRectF box(0, 0, rect.width() / scale, rect.height() / scale);
    LineOutline result;
    result.clipped = !box.contains(QRectF(0, 0, textLine.naturalTextWidth(), textLine.height()));
    result.path = QTransform(scale, 0, 0, scale, rect.left(), rect.top()).map(reference);
    result.path.setFillRule(Qt::WindingFill);
    return result;
}

} // namespace LabelFont
