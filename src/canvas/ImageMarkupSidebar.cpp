#include "canvas/ImageMarkupSidebar.h"

#include "canvas/ToolColumn.h"
#include "model/AppTheme.h"

#include <QHBoxLayout>

// ---- ImageMarkupSidebar ------------------------------------------------------------------------------

ImageMarkupSidebar::ImageMarkupSidebar(MarkupViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
{
    setFixedWidth(sidebarWidth);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tools = new ToolColumn(viewModel, this);
    auto *divider = new QWidget(this);
    divider->setFixedWidth(1);
    divider->setAutoFillBackground(true);
    QPalette palette = divider->palette();
    palette.setColor(QPalette::Window, AppTheme::lightSlate());
    divider->setPalette(palette);
    m_images = new ImageListColumn(viewModel, this);
    layout->addWidget(m_tools);
    layout->addWidget(divider);
    layout->addWidget(m_images);
}
