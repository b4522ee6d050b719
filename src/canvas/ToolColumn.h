#pragma once

#include "canvas/ToolColumnButton.h"
#include "canvas/ToolSettingsPopover.h"
#include "model/MarkupTools.h"

#include <QPointer>
#include <QWidget>

#include <map>

class MarkupViewModel;
class PanelButton;
class QVBoxLayout;
class ToolOrderEditor;

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
