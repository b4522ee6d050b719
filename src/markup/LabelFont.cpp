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
#include <memory>

namespace LabelFont {

namespace {

// Glyph outlines at the reference size, by face and glyph index. Loading an outline from the font
// file costs as much as filling it, and labels repeat the same few glyphs (digits, common words).
// Plain path data only, so keeping it in a static is safe; it is bounded by starting over.
class GlyphOutlineCache {
public:
    // A number for the face of a run of glyphs (fallback fonts give runs in other faces).
    int faceId(const QRawFont &font)
    {
        const QString face = font.familyName() + QLatin1Char('|') + font.styleName() + QLatin1Char('|')
                           + QString::number(font.weight()) + QLatin1Char('|') + QString::number(font.pixelSize());
        QMutexLocker lock(&m_mutex);
        const auto found = m_faces.constFind(face);
        if (found != m_faces.constEnd())
            return *found;
        const int id = int(m_faces.size());
        m_faces.insert(face, id);
        return id;
    }

    std::optional<QPainterPath> outline(const QRawFont &font, int face, quint32 glyph)
    {
        const quint64 key = (quint64(quint32(face)) << 32) | glyph;
        {
            QMutexLocker lock(&m_mutex);
            const auto found = m_outlines.constFind(key);
            if (found != m_outlines.constEnd())
                return *found;
        }
        QPainterPath path = font.pathForGlyph(glyph);
        // An empty outline is fine for blank glyphs (spaces); a glyph with ink but no outline is
        // a bitmap.
        if (path.isEmpty() && !font.boundingRect(glyph).isEmpty())
            return std::nullopt;
        QMutexLocker lock(&m_mutex);
        if (m_outlines.size() >= limit)
            m_outlines.clear();
        m_outlines.insert(key, path);
        return path;
    }

private:
    static constexpr qsizetype limit = 4096;
    QMutex m_mutex;
    QHash<QString, int> m_faces;
    QHash<quint64, QPainterPath> m_outlines;
};

GlyphOutlineCache &glyphOutlines()
{
    static GlyphOutlineCache cache;
    return cache;
}

// Whether a run's glyphs come from a font file. Characters of a script no installed font shapes
// are given to a stand-in that only draws empty boxes; its raw font says it is valid but describes
// no face (asking it for its family name reads an empty list), so it is never asked anything
// more: such a line is drawn by the painter, which draws those boxes itself.
bool labelFontRunHasFaceFile(const QRawFont &font)
{
    return font.isValid() && !font.fontTable("head").isEmpty();
}

} // namespace

QFont referenceFont()
{
    QFont font = AppFont::font(referencePixelSize, QFont::DemiBold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Made per call: a font kept in a static would outlive the application's font database and be
// torn down after it.
QFontMetricsF referenceMetrics()
{
    return QFontMetricsF(referenceFont());
}

double referenceAdvance(const QFontMetricsF &metrics, const QString &text)
{
    return text.isEmpty() ? 0 : metrics.horizontalAdvance(text);
}

double advance(const QString &text, double fontSize)
{
    if (text.isEmpty())
        return 0;
    return referenceAdvance(referenceMetrics(), text) * (fontSize / referencePixelSize);
}

namespace {

// Ascent and descent of the label face at the reference size. Plain numbers, so keeping them is
// safe; every label asks for them after each zoom step.
struct ReferenceFrame {
    double ascent = 0;
    double descent = 0;
    double leading = 0;
};

const ReferenceFrame &referenceFrame()
{
    static const ReferenceFrame frame = [] {
        const QFontMetricsF m = referenceMetrics();
        return ReferenceFrame{m.ascent(), m.descent(), m.leading()};
    }();
    return frame;
}

// The text a line shows: it is one line, so the characters that would break it show as spaces.
QString labelFontDisplayedLine(const QString &line)
{
    QString text = line;
    for (QChar &c : text)
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return text;
}

// A line laid out at the reference size: its glyphs at their places and its width. It does not
// depend on the size the line is drawn at, so one layout serves every zoom.
struct ReferenceLine {
    // Nothing when a glyph has no outline or a run no font file.
    std::optional<std::vector<LineOutline::Glyph>> glyphs;
    double naturalWidth = 0;
    // False when the layout made no line at all (then nothing is drawn, at no place).
    bool hasLine = true;
};

ReferenceLine layOutLine(const QString &line)
{
    // One unwrapped line, left to right from the left edge whatever its script (as the painter
    // draws it), trailing spaces kept.
    QTextLayout layout(labelFontDisplayedLine(line), referenceFont());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (!textLine.isValid()) {
        layout.endLayout();
        return {std::vector<LineOutline::Glyph>{}, 0, false};
    }
    textLine.setLineWidth(0x01000000);
    textLine.setPosition(QPointF(0, 0));
    layout.endLayout();

    ReferenceLine result;
    result.naturalWidth = textLine.naturalTextWidth();
    // The layout puts the baseline at the ascent of the fonts the line uses; the label's is that
    // of the label face.
    const QPointF toBaseline(0, referenceFrame().ascent - textLine.ascent());
    std::vector<LineOutline::Glyph> glyphs;
    const QList<QGlyphRun> runs = layout.glyphRuns();
    for (const QGlyphRun &run : runs) {
        const QRawFont font = run.rawFont();
        if (!labelFontRunHasFaceFile(font))
            return result;
        const int face = glyphOutlines().faceId(font);
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            std::optional<QPainterPath> outline = glyphOutlines().outline(font, face, indexes.at(i));
            if (!outline)
                return result;
            if (!outline->isEmpty())
                glyphs.push_back({std::move(*outline), positions.at(i) + toBaseline,
                                  (quint64(quint32(face)) << 32) | indexes.at(i)});
        }
    }
    result.glyphs = std::move(glyphs);
    return result;
}

// Reference layouts by line text. Laying a line out asks the font engine under a lock every
// thread shares; after a zoom every label line is wanted again, at another size. Plain data, so
// a static is safe; bounded by starting over.
class ReferenceLineCache {
public:
    std::shared_ptr<const ReferenceLine> line(const QString &text)
    {
        {
            QMutexLocker lock(&m_mutex);
            const auto found = m_lines.constFind(text);
            if (found != m_lines.constEnd())
                return *found;
        }
        auto made = std::make_shared<const ReferenceLine>(layOutLine(text));
        QMutexLocker lock(&m_mutex);
        if (m_lines.size() >= limit)
            m_lines.clear();
        m_lines.insert(text, made);
        return made;
    }

private:
    static constexpr qsizetype limit = 2048;
    QMutex m_mutex;
    QHash<QString, std::shared_ptr<const ReferenceLine>> m_lines;
};

ReferenceLineCache &referenceLines()
{
    static ReferenceLineCache cache;
    return cache;
}

// Whether a laid-out line overflows its rectangle (in reference units), as the painter judges a
// text box: by the line's width and the label face's height.
bool labelFontLineOverflows(const ReferenceLine &line, QSizeF box)
{
    const ReferenceFrame &frame = referenceFrame();
    return line.naturalWidth > box.width() || frame.ascent + frame.descent > box.height();
}

} // namespace

double naturalLineHeight(double fontSize)
{
    const ReferenceFrame &frame = referenceFrame();
    return (frame.ascent + frame.descent + frame.leading) * (fontSize / referencePixelSize);
}

double baseline(double fontSize)
{
    return referenceFrame().ascent * (fontSize / referencePixelSize);
}

void drawLine(QPainter &painter, const QRectF &rect, const QString &line, double fontSize)
{
    const double scale = fontSize / referencePixelSize;
    if (!(scale > 0) || !std::isfinite(scale) || rect.isEmpty())
        return;
    const std::shared_ptr<const ReferenceLine> laidOut = referenceLines().line(line);
    if (!laidOut->hasLine)
        return;
    const QRectF box(0, 0, rect.width() / scale, rect.height() / scale);
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(scale, scale);
    // Clipped rather than wrapped: the line was already broken by the layout.
    if (labelFontLineOverflows(*laidOut, box.size()))
        painter.setClipRect(box, Qt::IntersectClip);
    painter.setLayoutDirection(Qt::LeftToRight);
    painter.setFont(referenceFont());
    painter.drawText(QPointF(0, referenceFrame().ascent), labelFontDisplayedLine(line));
    painter.restore();
}

std::optional<LineOutline> lineOutline(const QRectF &rect, const QString &line, double fontSize)
{
    const double scale = fontSize / referencePixelSize;
    if (!(scale > 0) || !std::isfinite(scale) || rect.isEmpty())
        return std::nullopt;
    const std::shared_ptr<const ReferenceLine> laidOut = referenceLines().line(line);
    if (!laidOut->hasLine)
        return LineOutline{};
    if (!laidOut->glyphs)
        return std::nullopt;
    LineOutline result;
    result.glyphs = *laidOut->glyphs;
    result.clipped = labelFontLineOverflows(*laidOut, QSizeF(rect.width() / scale, rect.height() / scale));
    result.scale = scale;
    result.origin = rect.topLeft();
    return result;
}

} // namespace LabelFont
