#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>

// The text-and-symbol button of the header and the empty states: symbol and title at 12.5 px
// semibold, at least 86 × 38, on a rounded filled and outlined shape; compact, the symbol alone in
// 38 × 38. Squeezed below its size the title elides.
class ActionButton : public FeedbackButton
{
    Q_OBJECT

public:
    ActionButton(const QString &title, const QString &symbolName, QWidget *parent = nullptr);
    void setColors(const QColor &foreground, const QColor &background, const QColor &border);
    QString symbolName() const { return m_symbolName; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
    QColor m_foreground;
    QColor m_background;
    QColor m_border;
};
