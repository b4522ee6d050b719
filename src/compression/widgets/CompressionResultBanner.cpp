#include "compression/widgets/CompressionResultBanner.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"
#include "ui/ElidedLabel.h"

#include <QPainter>

#include <algorithm>

namespace {

// The check symbol's square, 11 in from the left; the text starts 10 after it and stops 11 short
// of the right edge.
constexpr int bannerSymbolLeft = 11;
constexpr int bannerSymbolSize = 18;
constexpr int bannerTextGap = 10;
constexpr int bannerTextRight = 11;
constexpr int bannerTextLeft = bannerSymbolLeft + bannerSymbolSize + bannerTextGap;

} // namespace

CompressionResultBanner::CompressionResultBanner(QWidget *parent)
    : QWidget(parent)
{
    const QFont font = AppFont::font(TypeScale::body, QFont::Bold);
    setFont(font);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_line = new ElidedLabel({font, AppTheme::darkSlate(), Qt::ElideRight, Qt::AlignLeft,
                              ElidedLabel::SizeRule::TakesAnyWidth, false},
                             this);
}

void CompressionResultBanner::setSummary(const QString &text, bool reportsFailures)
{
    m_line->setText(text);
    // The whole sentence stays at hand when the line is cut short.
    setToolTip(text);
    if (m_reportsFailures != reportsFailures) {
        m_reportsFailures = reportsFailures;
        update();
    }
}

QString CompressionResultBanner::text() const { return m_line->text(); }

QSize CompressionResultBanner::sizeHint() const
{
    return {bannerTextLeft + fontMetrics().horizontalAdvance(text()) + bannerTextRight,
            std::max(bannerSymbolSize, fontMetrics().height()) + 22};
}

QSize CompressionResultBanner::minimumSizeHint() const { return { 0, sizeHint().height() }; }

void CompressionResultBanner::resizeEvent(QResizeEvent *)
{
    m_line->setGeometry(bannerTextLeft, 0, std::max(0, width() - bannerTextLeft - bannerTextRight), height());
}

void CompressionResultBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, rect(), 8, m_reportsFailures ? AppTheme::paleRed() : AppTheme::paleGreen(),
                                  QColor());
    const QRectF symbolRect(bannerSymbolLeft, (height() - bannerSymbolSize) / 2.0, bannerSymbolSize, bannerSymbolSize);
    if (m_reportsFailures)
        ControlPainting::symbol(painter, QStringLiteral("exclamationmark.circle.fill"), AppTheme::red(), symbolRect, 16);
    else
        ControlPainting::symbol(painter, QStringLiteral("checkmark.circle.fill"), AppTheme::green(), symbolRect, 16);
}
