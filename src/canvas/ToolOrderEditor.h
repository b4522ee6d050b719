#pragma once

#include "canvas/ToolOrderRow.h"
#include "model/MarkupTools.h"

#include <QWidget>

#include <functional>
#include <map>
#include <optional>

class MarkupViewModel;
class PanelButton;
class PointerSettingsEditor;
class QScrollArea;
class QVBoxLayout;

// The tool settings panel shown from the tool column: the tools in the user's order (reordered
// by dragging a row onto another or with the rows' up and down buttons), the pointer settings
// below them, and a footer that resets both and closes. Every change goes to the view model at
// once, which stores it; the editor keeps only the running drag.
class ToolOrderEditor : public QWidget {
    Q_OBJECT

public:
    ToolOrderEditor(MarkupViewModel &viewModel, std::function<void()> close, QWidget *parent = nullptr);

    MarkupViewModel &viewModel() const { return m_viewModel; }
    ToolOrderRow *row(MarkupTool tool) const { return m_rows.at(tool); }
    // The rows in their current display order.
    std::vector<ToolOrderRow *> rowsInOrder() const;
    PointerSettingsEditor *pointerSettings() const { return m_pointerSettings; }
    PanelButton *closeButton() const { return m_closeButton; }
    PanelButton *resetButton() const { return m_resetButton; }
    PanelButton *doneButton() const { return m_doneButton; }
    QScrollArea *scrollArea() const { return m_scrollArea; }

    // The tool whose row is being dragged. Only a drag started here sets it, and it is cleared
    // when that drag ends, so drops are accepted only during our own drags.
    std::optional<MarkupTool> draggingTool() const { return m_draggingTool; }
    void setDraggingTool(std::optional<MarkupTool> tool);
    // Starts the platform drag of a row (carrying the tool's raw value as text) and clears the
    // drag state when it ends, however it ends.
    void startDrag(MarkupTool tool);
    // Whether a drag with this payload may drop on the rows.
    bool acceptsDrop(const class QMimeData *mimeData) const;
    // The pointer entered a row during a drag: the dragged tool moves directly before it.
    void rowEntered(MarkupTool target);
    // A drop on a row ends the drag.
    void dropped();

    void reset();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    MarkupViewModel &m_viewModel;
    std::function<void()> m_close;
    std::map<MarkupTool, ToolOrderRow *> m_rows;
    QVBoxLayout *m_rowsLayout = nullptr;
    PointerSettingsEditor *m_pointerSettings = nullptr;
    PanelButton *m_closeButton = nullptr;
    PanelButton *m_resetButton = nullptr;
    PanelButton *m_doneButton = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    std::optional<MarkupTool> m_draggingTool;
};
