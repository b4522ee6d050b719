#pragma once

#include "canvas/ImageMarkupCommands.h"
#include "canvas/ImageMarkupHost.h"

class ContentView;
struct ShellHooks;

// Joins the image markup workspace to the window: the root view's state for the image markup
// commands, and the workspace, sidebar, header controls and commands in the shell's slots. Lives
// as long as the root view (its child).
class ImageMarkupHookup final : public QObject, public ImageMarkupHost {
    Q_OBJECT

public:
    explicit ImageMarkupHookup(ContentView &view);

    void install(ShellHooks &hooks);
    ImageMarkupCommands &commands() { return m_commands; }

    // ImageMarkupHost
    MarkupViewModel &viewModel() override;
    WorkspaceMode workspaceMode() const override;
    void setWorkspaceMode(WorkspaceMode mode) override;
    void setPanOffset(QSizeF offset) override;
    void setDropTargeted(bool targeted) override;

private:
    QWidget *makeWorkspace(QWidget *emptyState);
    QWidget *makeSidebar();

    ContentView &m_view;
    ImageMarkupCommands m_commands;
};
