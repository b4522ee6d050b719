#include "ui/PanelWidgets.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "platform/PaintBands.h"
#include "platform/SymbolIcons.h"

#include <QHash>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
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

} // namespace PanelChrome

// ---- FloatingPanel --------------------------------------------------------------------------------

FloatingPanel::FloatingPanel(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void FloatingPanel::setCanvasRect(const QRectF &rect)
{
    const QSize size = rect.size().toSize();
    if (this->size() != size)
        resize(size);
    if (rect == m_canvasRect)
        return;
    m_canvasRect = rect;
    Q_EMIT canvasRectChanged();
}

void FloatingPanel::setChrome(const QColor &fill, double cornerRadius, const QColor &border, double borderWidth)
{
    m_fill = fill;
    m_cornerRadius = cornerRadius;
    m_border = border;
    m_borderWidth = borderWidth;
    update();
}

void FloatingPanel::setBorderColor(const QColor &border)
{
    if (border == m_border)
        return;
    m_border = border;
    update();
}

void FloatingPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PanelChrome::paintRoundedBox(painter, QRectF(rect()), m_cornerRadius, m_fill, m_border, m_borderWidth);
}

void FloatingPanel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void FloatingPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

// ---- PanelButton ----------------------------------------------------------------------------------

PanelButton::PanelButton(const QString &symbolName, const QString &text, const Look &look, QWidget *parent)
    : FeedbackButton(parent)
    , m_symbolName(symbolName)
    , m_look(look)
{
    setText(text);
    setFont(look.font);
    setCursor(Qt::ArrowCursor);
    rebuildIcon();
}

void PanelButton::setLook(const Look &look)
{
    const bool iconChanged = look.foreground != m_look.foreground;
    m_look = look;
    setFont(look.font);
    if (iconChanged)
        rebuildIcon();
    update();
}

void PanelButton::setSymbol(const QString &symbolName)
{
    if (symbolName == m_symbolName)
        return;
    m_symbolName = symbolName;
    rebuildIcon();
    update();
}

void PanelButton::setDisabledForeground(const QColor &color)
{
    m_disabledForeground = color;
    rebuildIcon();
    update();
}

void PanelButton::rebuildIcon()
{
    if (m_symbolName.isEmpty()) {
        m_icon = {};
        m_disabledIcon = {};
        return;
    }
    m_icon = SymbolIcons::icon(m_symbolName, m_look.foreground);
    m_disabledIcon = m_disabledForeground ? SymbolIcons::icon(m_symbolName, *m_disabledForeground) : QIcon();
}

QSize PanelButton::sizeHint() const
{
    const QFontMetricsF metrics(m_look.font);
    const double textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    const double icon = m_icon.isNull() ? 0 : m_look.iconSize;
    if (m_look.vertical)
        return QSize(int(std::ceil(std::max(textWidth, icon))) + 16, int(std::ceil(icon + metrics.height() + m_look.spacing)) + 12);
    const double gap = (icon > 0 && textWidth > 0) ? m_look.spacing : 0;
    return QSize(int(std::ceil(icon + gap + textWidth)) + 20, int(std::ceil(std::max(icon, metrics.height()))) + 12);
}

void PanelButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const bool disabled = !isEnabled();
    const double fade = disabled && !m_disabledForeground ? 0.45 : 1.0;
    painter.save();
    painter.setOpacity(painter.opacity() * fade);
    if (m_look.circle) {
        painter.setRenderHint(QPainter::Antialiasing);
        const double d = std::min(rect.width(), rect.height());
        const QRectF circle(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d);
        if (m_look.background.isValid() && m_look.background.alpha() > 0) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(m_look.background);
            painter.drawEllipse(circle);
        }
        if (m_look.border.isValid() && m_look.borderWidth > 0) {
            painter.setPen(QPen(m_look.border, m_look.borderWidth));
            painter.setBrush(Qt::NoBrush);
            const double w = m_look.borderWidth / 2;
            painter.drawEllipse(circle.adjusted(w, w, -w, -w));
        }
    } else {
        PanelChrome::paintRoundedBox(painter, rect, cornerRadius(), m_look.background, m_look.border,
                                     m_look.border.isValid() ? m_look.borderWidth : -1, m_look.dashedBorder);
    }

    const QColor foreground = disabled && m_disabledForeground ? *m_disabledForeground : m_look.foreground;
    const QIcon &icon = disabled && m_disabledForeground ? m_disabledIcon : m_icon;
    const QFontMetricsF metrics(m_look.font);
    const double textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    const double iconSide = icon.isNull() ? 0 : m_look.iconSize;
    painter.setFont(m_look.font);
    painter.setPen(foreground);
    if (m_look.vertical) {
        const double textHeight = text().isEmpty() ? 0 : metrics.height();
        const double total = iconSide + (iconSide > 0 && textHeight > 0 ? m_look.spacing : 0) + textHeight;
        double y = rect.center().y() - total / 2;
        if (iconSide > 0) {
            const QRectF iconRect(rect.center().x() - iconSide / 2, y, iconSide, iconSide);
            icon.paint(&painter, iconRect.toAlignedRect());
            y += iconSide + m_look.spacing;
        }
        if (textHeight > 0)
            painter.drawText(QRectF(rect.left(), y, rect.width(), textHeight), Qt::AlignHCenter | Qt::AlignTop, text());
    } else {
        const double gap = (iconSide > 0 && textWidth > 0) ? m_look.spacing : 0;
        double x = rect.center().x() - (iconSide + gap + textWidth) / 2;
        if (iconSide > 0) {
            const QRectF iconRect(x, rect.center().y() - iconSide / 2, iconSide, iconSide);
            icon.paint(&painter, iconRect.toAlignedRect());
            x += iconSide + gap;
        }
        if (textWidth > 0)
            painter.drawText(QRectF(x, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    painter.restore();
}

// ---- ColorSwatchButton ----------------------------------------------------------------------------

ColorSwatchButton::ColorSwatchButton(const QString &name, const QString &hex, Style style, QWidget *parent)
    : FeedbackButton(parent)
    , m_hex(hex)
    , m_color(HexColor::uiColor(hex))
    , m_style(style)
{
    const int frame = style == Style::Small ? 25 : 44;
    setFixedSize(frame, frame);
    setCornerRadius(style == Style::Small ? 8 : 22);
    setAccessibleName(name);
    setCursor(Qt::ArrowCursor);
}

void ColorSwatchButton::setSelectedSwatch(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

bool ColorSwatchButton::hitButton(const QPoint &pos) const
{
    const QPointF centre = QRectF(rect()).center();
    const double radius = width() / 2.0;
    const QPointF d = QPointF(pos) - centre;
    return d.x() * d.x() + d.y() * d.y() <= radius * radius;
}

void ColorSwatchButton::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double d = m_style == Style::Small ? 18 : 30;
    const QRectF circle(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d);
    PanelChrome::paintShadow(painter, circle, d / 2, m_style == Style::Small ? 0.12 : 0.18,
                             m_style == Style::Small ? 2 : 3, QPointF(0, 1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(circle);
    painter.setBrush(Qt::NoBrush);
    if (m_style == Style::Small) {
        const double w = m_selected ? 2.4 : 1.2;
        painter.setPen(QPen(m_selected ? AppTheme::primaryText() : QColor(Qt::white), w));
        painter.drawEllipse(circle);
    } else {
        painter.setPen(QPen(Qt::white, 2));
        painter.drawEllipse(circle);
        if (m_selected) {
            painter.setPen(QPen(AppTheme::primaryText(), 2.5));
            painter.drawEllipse(circle.adjusted(-3, -3, 3, 3));
        }
    }
    painter.restore();
}

#include <QFontDatabase>

#include <cstdio>

namespace PanelChrome {

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
