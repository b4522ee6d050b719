#pragma once

#include "ui/StyledButton.h"

// The text-and-symbol button of the header and the empty states: symbol and title at 12.5 px
// semibold, at least 86 × 38, on a rounded filled and outlined shape; compact, the symbol alone in
// 38 × 38. Squeezed below its size the title elides.
class ActionButton : public StyledButton
{
    Q_OBJECT

public:
    ActionButton(const QString &title, const QString &symbolName, QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};
