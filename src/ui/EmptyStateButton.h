#pragma once

#include "ui/StyledButton.h"

// An empty-state button: a 23-px symbol over a 12.5-px bold title in a 126 × 86 tile.
class EmptyStateButton final : public StyledButton {
    Q_OBJECT

public:
    EmptyStateButton(const QString &title, const QString &symbol, QWidget *parent = nullptr);

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};
