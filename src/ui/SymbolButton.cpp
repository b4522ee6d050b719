#include "ui/SymbolButton.h"

#include "ui/ShellPainting.h"

#include <QPainter>

SymbolButton::SymbolButton(const QString &symbolName, int side, int symbolSize, const QColor &tint,
                           qreal cornerRadius, QWidget *parent)
    : FeedbackButton(QString(), cornerRadius, parent)
    , m_symbolName(symbolName)
    , m_symbolSize(symbolSize)
    , m_tint(tint)
{
    setFixedSize(side, side);
}

void SymbolButton::setSurface(const QColor &background, const QColor &border)
{
    m_background = background;
    m_border = border;
    update();
}

void SymbolButton::paintContent(QPainter &painter, const QRectF &rect)
{
    ShellPainting::roundedPanel(painter, rect, cornerRadius(), m_background, m_border);
    ShellPainting::symbol(painter, m_symbolName, m_tint, rect, m_symbolSize);
}
