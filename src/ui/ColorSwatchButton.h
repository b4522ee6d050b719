#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>

// A round colour swatch. Three sizes: the text style editor's (18 in a 25 frame, ring "#0F172A"
// 2.4 when selected, white 1.2 otherwise), the inline editor's (30 in a 44 frame, white ring
// 2, an outer "#0F172A" ring 3 outside when selected) and the text comparison toolbar's (18 in a
// 24 × 28 frame that takes the whole press, ring "#0F172A" 2.2 when selected, white 1 otherwise,
// its name as the tooltip).
class ColorSwatchButton : public FeedbackButton {
    Q_OBJECT

public:
    enum class Style { Small, Large, Toolbar };

    ColorSwatchButton(const QString &name, const QString &hex, Style style, QWidget *parent = nullptr);

    const QString &hex() const { return m_hex; }
    bool isSelectedSwatch() const { return m_selected; }
    void setSelectedSwatch(bool selected);

    bool hitButton(const QPoint &pos) const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    void paintToolbarSwatch(QPainter &painter, const QRectF &rect) const;

    QString m_hex;
    QColor m_color;
    Style m_style;
    bool m_selected = false;
};
