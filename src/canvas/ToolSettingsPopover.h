#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class MarkupViewModel;
class ToolOrderEditor;

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
