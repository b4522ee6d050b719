#include "markup/LabelFont.h"

#include "model/AppFont.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace LabelFont {

namespace {

// Made per call: a font kept in a static would outlive the application's font database and be
// torn down after it. Layouts are cached by the geometry, so this is not on a hot path.
QFontMetricsF referenceMetrics()
{
    return QFontMetricsF(referenceFont());
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

} // namespace LabelFont
