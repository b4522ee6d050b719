#pragma once

#include "ui/StyledButton.h"

// A rounded button with an optional symbol before its title.
class SurfaceButton : public StyledButton {
    Q_OBJECT

public:
    SurfaceButton(const QString &title, const QString &symbolName, QSize minimumSize, QWidget *parent = nullptr);
    void setTitle(const QString &title);
    void setLabelFont(const QFont &font);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};
