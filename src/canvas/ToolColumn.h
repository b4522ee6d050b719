#pragma once

#include "ui/FeedbackButton.h"
#include "model/MarkupTools.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <map>

class MarkupViewModel;
class PanelButton;
class QVBoxLayout;
class ToolOrderEditor;

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

// The popover window that hosts the tool settings editor: a frameless tool window beside its
// anchor, closed by Escape, a press outside it or the application losing the focus. (A popup
// window would grab the mouse and break the drag reordering inside.)
class ToolSettingsPopover : public QWidget {
    Q_OBJECT

public:
    ToolSettingsPopover(MarkupViewModel &viewModel, std::function<void()> close, QWidget *anchor);
    ~ToolSettingsPopover() override;

    ToolOrderEditor *editor() const { return m_editor; }
    // Shows the window to the right of the anchor, its bottom level with the anchor's bottom, kept
    // on the anchor's screen.
    void showBeside(QWidget *anchor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void requestClose();

    std::function<void()> m_close;
    QPointer<QWidget> m_anchor;
    ToolOrderEditor *m_editor = nullptr;
};

// The left column of the image markup sidebar: a button per tool in the user's order with its
// number, and at the foot the settings button that opens the tool order and pointer settings.
// A click chooses the tool and drops any annotation being drawn; it sets no status text (that
// belongs to the number keys).
class ToolColumn : public QWidget {
    Q_OBJECT

public:
    static constexpr int columnWidth = 86;

    explicit ToolColumn(MarkupViewModel &viewModel, QWidget *parent = nullptr);
    ~ToolColumn() override;

    // The buttons in display order; a tool missing from the order has none.
    std::vector<ToolColumnButton *> buttons() const;
    ToolColumnButton *button(MarkupTool tool) const;
    PanelButton *settingsButton() const { return m_settingsButton; }

    void selectTool(MarkupTool tool);

    bool isToolOrderEditorPresented() const { return m_popover != nullptr; }
    void setToolOrderEditorPresented(bool presented);
    ToolSettingsPopover *popover() const { return m_popover; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void rebuild();
    void refreshCurrent();

    MarkupViewModel &m_viewModel;
    QVBoxLayout *m_buttonsLayout = nullptr;
    std::map<MarkupTool, ToolColumnButton *> m_buttons;
    PanelButton *m_settingsButton = nullptr;
    QPointer<ToolSettingsPopover> m_popover;
};
