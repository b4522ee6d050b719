#pragma once

#include "model/MarkupTools.h"
#include "ui/FeedbackButton.h"

#include <QIcon>

// One large tool button of the tool column: icon and title, the tool's number in a round badge at
// the top-right corner; dark when the tool is current.
class ToolColumnButton : public FeedbackButton {
    Q_OBJECT

public:
    ToolColumnButton(MarkupTool tool, QWidget *parent = nullptr);

    MarkupTool tool() const { return m_tool; }
    QString badgeText() const { return m_badge; }
    void setBadgeText(const QString &text);
    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    MarkupTool m_tool;
    QString m_badge;
    bool m_current = false;
    QIcon m_icon;
    QIcon m_currentIcon;
};
