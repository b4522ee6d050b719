#pragma once

#include "ui/FeedbackButton.h"

// One button of the header's workspace switcher: navy with white text while its workspace is on
// screen, else slate text on a clear ground.
class SwitcherButton : public FeedbackButton
{
    Q_OBJECT

public:
    SwitcherButton(const QString &title, const QString &symbolName, int minimumWidth, QWidget *parent = nullptr);
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
    int m_minimumWidth;
    bool m_selected = false;
};
