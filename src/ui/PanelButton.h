#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>
#include <QFont>
#include <QIcon>

#include <optional>

// A button drawn as an optional icon and text over a rounded (or circular) fill with an optional
// border; the pressed look comes from FeedbackButton.
class PanelButton : public FeedbackButton {
    Q_OBJECT

public:
    struct Look {
        QColor foreground;
        QColor background;
        QColor border;          // invalid: none
        double borderWidth = 1;
        bool dashedBorder = false;
        bool circle = false;
        QFont font;
        double iconSize = 0;    // 0: no icon
        bool vertical = false;  // icon above the text instead of before it
        double spacing = 6;
    };

    PanelButton(const QString &symbolName, const QString &text, const Look &look, QWidget *parent = nullptr);

    const Look &look() const { return m_look; }
    void setLook(const Look &look);
    void setSymbol(const QString &symbolName);
    const QString &symbolName() const { return m_symbolName; }
    // The look shown while the button is disabled (default: the normal look at 45 % opacity).
    void setDisabledForeground(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    void rebuildIcon();

    QString m_symbolName;
    Look m_look;
    QIcon m_icon;
    QIcon m_disabledIcon;
    std::optional<QColor> m_disabledForeground;
};
