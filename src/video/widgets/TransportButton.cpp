#include "video/widgets/TransportButton.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

TransportButton::TransportButton(Face face, QWidget *parent)
    : FeedbackButton(parent), m_face(std::move(face)), m_icon(SymbolIcons::icon(m_face.symbol, m_face.content))
{
    setCornerRadius(8);
    setFont(AppFont::font(m_face.title.isEmpty() ? 14 : 12.5, QFont::Bold));
    setFocusPolicy(Qt::NoFocus);
}

void TransportButton::setSymbol(const QString &symbol)
{
    if (symbol == m_face.symbol)
        return;
    m_face.symbol = symbol;
    m_icon = SymbolIcons::icon(symbol, m_face.content);
    update();
}

void TransportButton::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setOpacity(faceOpacity());
    QPainterPath shape;
    shape.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(shape, m_face.fill);
    if (m_face.outline.alpha() > 0) {
        painter.setPen(QPen(m_face.outline, 1));
        painter.drawPath(shape);
    }

    const double iconSide = m_face.title.isEmpty() ? 16 : 14;
    const QFontMetricsF metrics(font());
    const double titleWidth = m_face.title.isEmpty() ? 0 : metrics.horizontalAdvance(m_face.title) + 6;
    const double left = rect.center().x() - (iconSide + titleWidth) / 2;
    const QRectF iconRect(left, rect.center().y() - iconSide / 2, iconSide, iconSide);
    m_icon.paint(&painter, iconRect.toAlignedRect());
    if (!m_face.title.isEmpty()) {
        painter.setFont(font());
        painter.setPen(m_face.content);
        painter.drawText(QRectF(iconRect.right() + 6, rect.top(), titleWidth, rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, m_face.title);
    }
    if (!m_face.badge.isEmpty()) {
        const QRectF badge(rect.right() - 4 - 16, rect.top() + 3, 16, 16);
        painter.setPen(QPen(AppTheme::lightSlate(), 1));
        painter.setBrush(AppTheme::paleGray());
        painter.drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
        QFont badgeFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        badgeFont.setPixelSize(int(TypeScale::badge));
        badgeFont.setBold(true);
        painter.setFont(badgeFont);
        painter.setPen(AppTheme::secondaryText());
        painter.drawText(badge, Qt::AlignCenter, m_face.badge);
    }
    painter.restore();
}
