#include "ui/PanelChrome.h"

#include "platform/PaintBands.h"

#include <QFontDatabase>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace PanelChrome {

QColor withAlpha(QColor color, double opacity);

namespace {

// One horizontal and one vertical box-blur pass over the alpha channel; three rounds approach a
// Gaussian of the given radius closely enough for a shadow.
void boxBlurAlpha(QImage &image, int radius, const QColor &rgb)
{
    if (radius <= 0)
        return;
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(size_t(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto pixel = [&](int i) -> QRgb & {
                const int x = horizontal ? i : o;
                const int y = horizontal ? o : i;
                return reinterpret_cast<QRgb *>(image.scanLine(y))[x];
            };
            for (int i = 0; i < inner; ++i)
                line[size_t(i)] = qAlpha(pixel(i));
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < inner) ? line[size_t(i)] : 0;
            const int span = 2 * radius + 1;
            for (int i = 0; i < inner; ++i) {
                const int a = sum / span;
                pixel(i) = qPremultiply(qRgba(rgb.red(), rgb.green(), rgb.blue(), a));
                const int leaving = i - radius;
                const int entering = i + radius + 1;
                sum -= (leaving >= 0) ? line[size_t(leaving)] : 0;
                sum += (entering < inner) ? line[size_t(entering)] : 0;
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

} // namespace

QImage blurredRoundedRect(QSize size, double cornerRadius, const QColor &color, int boxRadius, int margin)
{
    const QString key = QStringLiteral("%1x%2/%3/%4/%5/%6")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(cornerRadius)
                            .arg(boxRadius)
                            .arg(margin)
                            .arg(color.name(QColor::HexArgb));
    static QHash<QString, QImage> cache;
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return *found;
    QImage image(size + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(margin, margin, size.width(), size.height()), cornerRadius, cornerRadius);
        painter.fillPath(path, color);
    }
    boxBlurAlpha(image, boxRadius, color);
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, image);
    return image;
}

QLabel *label(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
{
    auto *result = new QLabel(text, parent);
    result->setFont(font);
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

QColor withAlpha(QColor color, double opacity)
{
    color.setAlphaF(float(std::clamp(opacity, 0.0, 1.0)));
    return color;
}

void paintRoundedBox(QPainter &painter, const QRectF &rect, double radius, const QColor &fill, const QColor &border,
                     double borderWidth, bool dashed)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    const auto draw = [&] {
        if (fill.isValid() && fill.alpha() > 0)
            painter.fillPath(path, fill);
        if (border.isValid() && borderWidth > 0) {
            const QRectF inner = rect.adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2);
            QPen pen(border, borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
            pen.setMiterLimit(10);
            if (dashed)
                pen.setDashPattern({5 / borderWidth, 4 / borderWidth});
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            const double r = std::max(0.0, radius - borderWidth / 2);
            painter.drawRoundedRect(inner, r, r);
        }
    };
    // Panels float over the canvas and are repainted with it on every wheel step: in bands while
    // the worker threads are busy, so that the painter does not wait for them.
    PaintBands::draw(painter, rect.adjusted(-1, -1, 1, 1), draw,
                     PaintBands::workersBusy() ? PaintBands::roundedClipRows : 0);
    painter.restore();
}

void paintShadow(QPainter &painter, const QRectF &rect, double cornerRadius, double opacity, double radius,
                 QPointF offset, const QColor &color)
{
    if (rect.isEmpty() || opacity <= 0)
        return;
    // The shadow radius is the blur's spread, about twice its standard deviation; three rounds of
    // box passes of radius r/2 give about that spread.
    const int margin = int(std::ceil(radius * 2));
    const QImage image = blurredRoundedRect(rect.size().toSize(), cornerRadius, withAlpha(color, opacity),
                                            int(std::lround(radius / 2)), margin);
    painter.drawImage(rect.topLeft() + offset - QPointF(margin, margin), image);
}

QString slimListStyleSheet()
{
    return QStringLiteral(
        "QListView { background: transparent; }"
        "QScrollBar:vertical { width: 6px; background: transparent; margin: 2px 0 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(100, 116, 139, 0.45); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
}


QFont monospaceFont(double pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setWeight(weight);
    return font;
}

QString formatNumber(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return QString::fromLatin1(buffer);
}

} // namespace PanelChrome
