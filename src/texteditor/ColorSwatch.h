#pragma once

#include "ui/FeedbackButton.h"

// A colour swatch: an 18-pixel circle, ringed dark when chosen.
class ColorSwatch : public FeedbackButton {
    Q_OBJECT

public:
    ColorSwatch(const QString &name, const QString &hex, QWidget *parent = nullptr);
    QString hex() const { return m_hex; }
    void setChosen(bool chosen);
    bool isChosen() const { return m_chosen; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_hex;
    bool m_chosen = false;
};
