#pragma once

#include "canvas/ImageListColumn.h"

#include <QWidget>

class MarkupViewModel;
class ToolColumn;

// The left sidebar of the image markup workspace, 188 points wide: the tool column, a divider
// and the image list column.
class ImageMarkupSidebar : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarWidth = 188;

    explicit ImageMarkupSidebar(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    ToolColumn *toolColumn() const { return m_tools; }
    ImageListColumn *imageList() const { return m_images; }

private:
    ToolColumn *m_tools = nullptr;
    ImageListColumn *m_images = nullptr;
};
