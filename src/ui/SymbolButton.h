#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>

// A button that shows one symbol in a fixed square (zoom steps, the header order button, the
// editor's close button), optionally on a filled and outlined rounded shape.
class SymbolButton : public FeedbackButton
{
    Q_OBJECT

public:
    SymbolButton(const QString &symbolName, int side, int symbolSize, const QColor &tint, qreal cornerRadius,
                 QWidget *parent = nullptr);
    void setSurface(const QColor &background, const QColor &border);
    QString symbolName() const { return m_symbolName; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
    int m_symbolSize;
    QColor m_tint;
    QColor m_background;
    QColor m_border;
};
