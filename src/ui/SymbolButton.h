#pragma once

#include "ui/StyledButton.h"

// A button that shows one symbol in a fixed square (zoom steps, the header order button, the
// editor's close button), in the style's foreground, optionally on the style's filled and outlined
// rounded shape.
class SymbolButton : public StyledButton
{
    Q_OBJECT

public:
    SymbolButton(const QString &symbolName, int side, int symbolSize, const QColor &tint, qreal cornerRadius,
                 QWidget *parent = nullptr);
    // The square it stands in.
    QSize sizeHint() const override { return buttonStyle().minimumSize; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};
