#include "ui/ColorSwatchButton.h"

#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "ui/PanelChrome.h"

#include <QPainter>

ColorSwatchButton::ColorSwatchButton(const QString &name, const QString &hex, Style style, QWidget *parent)
    : FeedbackButton(parent)
    , m_hex(hex)
    , m_color(HexColor::uiColor(hex))
    , m_style(style)
{
    setAccessibleName(name);
    if (style == Style::Toolbar) {
        setFixedSize(24, 28);
        setToolTip(name);
        setCursor(Qt::PointingHandCursor);
        return;
    }
    const int frame = style == Style::Small ? 25 : 44;
    setFixedSize(frame, frame);
    setCornerRadius(style == Style::Small ? 8 : 22);
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
    if (m_style == Style::Toolbar)
        return FeedbackButton::hitButton(pos);
    const QPointF centre = QRectF(rect()).center();
    const double radius = width() / 2.0;
    const QPointF d = QPointF(pos) - centre;
    return d.x() * d.x() + d.y() * d.y() <= radius * radius;
}

void ColorSwatchButton::paintContent(QPainter &painter, const QRectF &rect)
{
    if (m_style == Style::Toolbar) {
        paintToolbarSwatch(painter, rect);
        return;
    }
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

void ColorSwatchButton::paintToolbarSwatch(QPainter &painter, const QRectF &rect) const
{
    const QRectF circle(rect.center().x() - 9, rect.center().y() - 9, 18, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 26));
    painter.drawEllipse(circle.translated(0, 1).adjusted(-1, -1, 1, 1));
    painter.setBrush(m_color);
    painter.drawEllipse(circle);
    painter.setBrush(Qt::NoBrush);
    if (m_selected)
        painter.setPen(QPen(AppTheme::primaryText(), 2.2));
    else
        painter.setPen(QPen(Qt::white, 1));
    painter.drawEllipse(circle);
}
