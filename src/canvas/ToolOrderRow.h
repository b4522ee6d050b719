#pragma once

#include "model/MarkupTools.h"
#include "ui/PanelButton.h"

#include <QIcon>
#include <QWidget>

#include <optional>

class ToolOrderEditor;

// One tool's row in the tool order editor: drag handle, number badge, icon, title and the up and
// down buttons. The whole row is a drag source and a drop target.
class ToolOrderRow : public QWidget {
    Q_OBJECT

public:
    ToolOrderRow(ToolOrderEditor &editor, MarkupTool tool, QWidget *parent);

    // The round look of the up and down buttons, which the editor's close button shares.
    static PanelButton::Look moveButtonLook();

    MarkupTool tool() const { return m_tool; }
    PanelButton *upButton() const { return m_up; }
    PanelButton *downButton() const { return m_down; }
    QString badgeText() const { return m_badge; }
    void setBadgeText(const QString &text);
    void setMovable(bool canMoveUp, bool canMoveDown);
    void setDimmed(bool dimmed);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    ToolOrderEditor &m_editor;
    MarkupTool m_tool;
    QString m_badge;
    bool m_dimmed = false;
    std::optional<QPoint> m_pressPosition;
    PanelButton *m_up = nullptr;
    PanelButton *m_down = nullptr;
    QIcon m_handleIcon;
    QIcon m_toolIcon;
};
