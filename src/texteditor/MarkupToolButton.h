#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>

// A markup tool: icon, title and the shortcut digit in a small circle; 74 × 28.
class MarkupToolButton : public FeedbackButton {
    Q_OBJECT

public:
    MarkupToolButton(const QString &title, const QString &symbolName, const QString &shortcutKey,
                     const QString &badgeColorHex, QWidget *parent = nullptr);
    void setHighlighted(bool highlighted);

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_title;
    QString m_symbolName;
    QString m_shortcutKey;
    QColor m_badgeColor;
    bool m_highlighted = false;
};
