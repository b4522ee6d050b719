#include "comparison/widgets/UploadCard.h"

#include "comparison/widgets/ComparisonPreview.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"
#include "ui/PanelChrome.h"

#include <QPainter>

UploadCard::UploadCard(const QString &title, QWidget *parent)
    : FeedbackButton(title, 8, parent)
{
    setFixedSize(274, 216);
    setAccessibleName(title);
}

void UploadCard::setImage(const std::optional<ComparisonImageState> &image)
{
    m_fileName = image ? std::optional<QString>(image->fileName) : std::nullopt;
    m_preview = image ? comparisonPreview(*image, QSize(254, 150), 8, devicePixelRatioF()) : QPixmap();
    update();
}

void UploadCard::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    PanelChrome::paintRoundedBox(painter, rect, 8, AppTheme::paleGray());
    if (m_fileName) {
        const QFont nameFont = AppFont::font(TypeScale::body, QFont::DemiBold);
        const double lineHeight = QFontMetricsF(nameFont).height();
        const double top = rect.center().y() - (150 + 12 + lineHeight) / 2;
        painter.drawPixmap(QPointF(rect.center().x() - 127, top), m_preview);
        ControlPainting::elidedText(painter, QRectF(rect.left() + 10, top + 162, rect.width() - 20, lineHeight), *m_fileName, nameFont,
                   AppTheme::darkSlate(), Qt::ElideRight, Qt::AlignCenter);
        PanelChrome::paintRoundedBox(painter, rect, 8, QColor(), AppTheme::navy(), 2);
    } else {
        const QFont titleFont = AppFont::font(TypeScale::emphasis, QFont::Bold);
        const double lineHeight = QFontMetricsF(titleFont).height();
        const double top = rect.center().y() - (30 + 12 + lineHeight) / 2;
        ControlPainting::alignedSymbol(painter, QStringLiteral("photo.badge.plus"), AppTheme::navy(),
                   QRectF(rect.center().x() - 18, top, 36, 30), 30);
        painter.setFont(titleFont);
        painter.setPen(AppTheme::primaryText());
        painter.drawText(QRectF(rect.left(), top + 42, rect.width(), lineHeight), Qt::AlignCenter, text());
        QPen pen(AppTheme::lightSlate(), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({6, 4});
        pen.setMiterLimit(10);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
    painter.restore();
}
