#pragma once

#include "ui/StyledButton.h"

#include <QFont>

// A text button with an optional symbol before the title, on a rounded fill with an optional
// border. Disabled, it is drawn on the grey of a button that cannot act. While busy, a turning arc
// takes the symbol's place.
class SheetButton final : public StyledButton {
    Q_OBJECT

public:
    SheetButton(const QString &title, const QString &symbol, const QFont &font, QSize minimumSize,
                QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};
