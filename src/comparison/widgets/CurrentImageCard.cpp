#include "comparison/widgets/CurrentImageCard.h"

#include "comparison/widgets/ComparisonPreview.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"
#include "ui/PanelChrome.h"

#include <QPainter>

CurrentImageCard::CurrentImageCard(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("currentBeforeImageCard"));
    setFixedHeight(58 + 20);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CurrentImageCard::setImage(const std::optional<ComparisonImageState> &image)
{
    m_fileName = image ? std::optional<QString>(image->fileName) : std::nullopt;
    m_preview = image ? comparisonPreview(*image, QSize(82, 58), 7, devicePixelRatioF()) : QPixmap();
    update();
}

void CurrentImageCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    PanelChrome::paintRoundedBox(painter, box, 8, AppTheme::paleGray(), PanelChrome::withAlpha(AppTheme::navy(), 0.35), 1);
    if (!m_fileName)
        return;
    painter.drawPixmap(QPointF(box.left() + 10, box.top() + 10), m_preview);
    const double textLeft = box.left() + 10 + 82 + 12;
    const QRectF column(textLeft, box.top() + 10, box.right() - 10 - textLeft, 58);
    const QFont titleFont = AppFont::font(TypeScale::body, QFont::Bold);
    const QFont nameFont = AppFont::font(TypeScale::caption, QFont::DemiBold);
    const double h1 = QFontMetricsF(titleFont).height();
    const double h2 = QFontMetricsF(nameFont).height();
    const double top = column.center().y() - (h1 + 3 + h2) / 2;
    ControlPainting::elidedText(painter, QRectF(column.left(), top, column.width(), h1), QStringLiteral("修改前图片"), titleFont,
               AppTheme::primaryText(), Qt::ElideRight, Qt::AlignLeft | Qt::AlignVCenter);
    ControlPainting::elidedText(painter, QRectF(column.left(), top + h1 + 3, column.width(), h2), *m_fileName, nameFont,
               AppTheme::secondaryText(), Qt::ElideRight, Qt::AlignLeft | Qt::AlignVCenter);
}
