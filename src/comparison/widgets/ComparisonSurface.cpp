#include "comparison/widgets/ComparisonSurface.h"

#include "comparison/ComparisonGeometry.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/CardShadow.h"
#include "ui/PanelChrome.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double comparisonCornerRadius = 6;
constexpr int comparisonShadowBlur = 18;
constexpr double comparisonShadowOffsetY = 10;
constexpr double lineWidth = 3;
constexpr double handleDiameter = 36;
// How far the line, the handle and their shadows reach either side of the divider.
constexpr int dividerReach = 18 + 16 + 2;
constexpr double captionInset = 12;

QFont captionFont()
{
    return AppFont::font(TypeScale::body, QFont::Bold);
}

} // namespace

ComparisonSurface::ComparisonSurface(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("comparisonSurface"));
    setAccessibleName(QStringLiteral("图片对比画布"));
    setAccessibleDescription(QStringLiteral("拖动对比分割线"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ComparisonSurface::setPair(const std::optional<ComparisonPairState> &pair)
{
    const auto assignSide = [](Side &side, const ComparisonImageState *state) {
        const ImageHandle handle = state ? state->image : ImageHandle();
        const QSizeF pixelSize = state ? state->pixelSize : QSizeF(0, 0);
        if (side.loaded && !handle.sharesPictureWith(side.handle)) {
            side.pyramid = ImagePyramid();
            side.loaded = false;
        }
        side.handle = handle;
        side.pixelSize = pixelSize;
    };
    m_hasPair = pair.has_value();
    assignSide(m_before, pair ? &pair->before : nullptr);
    assignSide(m_after, pair ? &pair->after : nullptr);
    update();
}

void ComparisonSurface::setZoom(double zoom)
{
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    update();
}

void ComparisonSurface::setPanOffset(QSizeF offset)
{
    if (offset == m_panOffset)
        return;
    m_panOffset = offset;
    update();
}

void ComparisonSurface::setFraction(double fraction)
{
    if (fraction == m_fraction)
        return;
    const QRect changed = dividerChangeRect(m_fraction, fraction);
    m_fraction = fraction;
    update(changed);
}

QSizeF ComparisonSurface::referenceSize() const
{
    return ComparisonGeometry::referenceSize(m_before.pixelSize, m_after.pixelSize);
}

QSizeF ComparisonSurface::fitSize() const
{
    return ComparisonGeometry::fitSize(referenceSize(), QSizeF(size()));
}

QRectF ComparisonSurface::canvasRect() const
{
    const QSizeF canvas = ComparisonGeometry::canvasSize(fitSize(), m_zoom);
    const QPointF centre(width() / 2.0 + m_panOffset.width(), height() / 2.0 + m_panOffset.height());
    return QRectF(centre - QPointF(canvas.width() / 2, canvas.height() / 2), canvas);
}

QRectF ComparisonSurface::captionRect(bool trailing) const
{
    const QFontMetricsF metrics(captionFont());
    const QString text = trailing ? QStringLiteral("修改后") : QStringLiteral("修改前");
    const QSizeF size(metrics.horizontalAdvance(text) + 18, metrics.height() + 10);
    const QRectF canvas = canvasRect();
    const double x = trailing ? canvas.right() - captionInset - size.width() : canvas.left() + captionInset;
    return QRectF(QPointF(x, canvas.top() + captionInset), size);
}

QRect ComparisonSurface::dividerChangeRect(double from, double to) const
{
    const QRectF canvas = canvasRect();
    const double a = canvas.left() + ComparisonGeometry::dividerX(from, canvas.width());
    const double b = canvas.left() + ComparisonGeometry::dividerX(to, canvas.width());
    const QRectF strip(std::min(a, b) - dividerReach, canvas.top(), std::abs(b - a) + 2 * dividerReach, canvas.height());
    return strip.intersected(canvas).toAlignedRect();
}

void ComparisonSurface::paintEvent(QPaintEvent *event)
{
    const QRect clip = event->rect();
    QPainter painter(this);
    const QRectF canvas = canvasRect();

    if (!canvas.contains(QRectF(clip))) {
        painter.fillRect(clip, AppTheme::paleSlate());
        if (m_hasPair) {
            if (m_cardShadow.isNull())
                m_cardShadow = QPixmap::fromImage(CardShadow::image(comparisonShadowBlur, comparisonCornerRadius));
            CardShadow::paint(painter, canvas, m_cardShadow, comparisonShadowBlur, comparisonShadowOffsetY);
        }
    }
    if (!m_hasPair)
        return;
    const QRect area = canvas.toAlignedRect().intersected(clip);
    if (area.isEmpty())
        return;

    painter.save();
    painter.setClipRect(area);
    painter.fillRect(canvas, Qt::white);
    drawLayer(painter, m_before, canvas, area, 1.0, false);
    drawLayer(painter, m_after, canvas, area, m_fraction, true);
    drawDivider(painter, canvas);
    drawCaption(painter, captionRect(false), QStringLiteral("修改前"));
    drawCaption(painter, captionRect(true), QStringLiteral("修改后"));

    // The rounded corners: the area colour over the corner wedges, then the border.
    painter.setRenderHint(QPainter::Antialiasing);
    const double r = comparisonCornerRadius;
    const QRectF corners[] = {QRectF(canvas.left(), canvas.top(), r, r), QRectF(canvas.right() - r, canvas.top(), r, r),
                              QRectF(canvas.left(), canvas.bottom() - r, r, r),
                              QRectF(canvas.right() - r, canvas.bottom() - r, r, r)};
    if (std::any_of(std::begin(corners), std::end(corners), [&](const QRectF &c) { return c.intersects(QRectF(area)); })) {
        QPainterPath outside;
        outside.addRect(canvas);
        QPainterPath rounded;
        rounded.addRoundedRect(canvas, r, r);
        painter.fillPath(outside.subtracted(rounded), AppTheme::paleSlate());
    }
    // The border only where the repainted area reaches an edge: stroking a zoomed card's whole
    // outline for a divider strip would cost more than the strip itself.
    if (!canvas.adjusted(r, r, -r, -r).contains(QRectF(area)))
        PanelChrome::paintRoundedBox(painter, canvas, r, QColor(), AppTheme::lightSlate(), 1);
    painter.restore();
}

void ComparisonSurface::drawLayer(QPainter &painter, Side &side, const QRectF &canvas, const QRect &clip,
                                  double fraction, bool trailing)
{
    const double visible = ComparisonGeometry::maskWidth(fraction, canvas.width(), trailing);
    const QRectF mask = trailing ? QRectF(canvas.right() - visible, canvas.top(), visible, canvas.height())
                                 : QRectF(canvas.left(), canvas.top(), visible, canvas.height());
    const QRectF drawn = mask.intersected(QRectF(clip));
    if (drawn.isEmpty())
        return;
    if (!side.loaded) {
        side.loaded = true;
        const QImage picture = side.handle.image();
        if (!picture.isNull())
            side.pyramid = ImagePyramid(picture);
    }
    if (side.pyramid.isNull())
        return;
    const QSizeF layer = ComparisonGeometry::layerSize(side.pixelSize, referenceSize(), canvas.size());
    side.pyramid.draw(painter, ComparisonGeometry::centred(layer, canvas), drawn);
}

void ComparisonSurface::drawDivider(QPainter &painter, const QRectF &canvas) const
{
    const double x = canvas.left() + ComparisonGeometry::dividerX(m_fraction, canvas.width());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The line's soft shadow, then the line.
    for (int spread = 4; spread >= 1; --spread)
        painter.fillRect(QRectF(x - lineWidth / 2 - spread, canvas.top(), lineWidth + 2 * spread, canvas.height()),
                         QColor(0, 0, 0, 10));
    painter.fillRect(QRectF(x - lineWidth / 2, canvas.top(), lineWidth, canvas.height()), QColor(255, 255, 255, 235));

    const QRectF handle(x - handleDiameter / 2, canvas.center().y() - handleDiameter / 2, handleDiameter, handleDiameter);
    PanelChrome::paintShadow(painter, handle, handleDiameter / 2, 0.18, 8, QPointF(0, 4));
    painter.setPen(QPen(AppTheme::lightSlate(), 1));
    painter.setBrush(QColor(255, 255, 255, 245));
    painter.drawEllipse(handle.adjusted(0.5, 0.5, -0.5, -0.5));
    const QIcon icon = SymbolIcons::icon(QStringLiteral("arrow.left.and.right"), AppTheme::navy());
    icon.paint(&painter, ComparisonGeometry::centred(QSizeF(16, 16), handle).toAlignedRect());
    painter.restore();
}

void ComparisonSurface::drawCaption(QPainter &painter, const QRectF &rect, const QString &text) const
{
    PanelChrome::paintRoundedBox(painter, rect, 7, QColor(255, 255, 255, 224), AppTheme::lightSlate(), 1);
    painter.setFont(captionFont());
    painter.setPen(AppTheme::primaryText());
    painter.drawText(rect, Qt::AlignCenter, text);
}

void ComparisonSurface::mousePressEvent(QMouseEvent *event)
{
    const QPointF position = event->position();
    m_dragging = event->button() == Qt::LeftButton && m_hasPair && canvasRect().contains(position)
                 && !captionRect(false).contains(position) && !captionRect(true).contains(position);
    if (m_dragging)
        dragTo(position);
    event->accept();
}

void ComparisonSurface::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        dragTo(event->position());
}

void ComparisonSurface::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

void ComparisonSurface::dragTo(QPointF position)
{
    const QRectF canvas = canvasRect();
    const std::optional<double> fraction = ComparisonGeometry::dragFraction(position.x() - canvas.left(), canvas.width());
    if (fraction && fractionEdited)
        fractionEdited(*fraction);
}
