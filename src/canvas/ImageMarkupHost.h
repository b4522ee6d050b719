#pragma once

#include "model/WorkspaceMode.h"

#include <QSizeF>

class MarkupViewModel;

// The root view's state that the image markup commands read and write. The application shell's
// root view implements it.
class ImageMarkupHost {
public:
    virtual ~ImageMarkupHost() = default;
    virtual MarkupViewModel &viewModel() = 0;
    virtual WorkspaceMode workspaceMode() const = 0;
    virtual void setWorkspaceMode(WorkspaceMode mode) = 0;
    virtual void setPanOffset(QSizeF offset) = 0;
    virtual void setDropTargeted(bool targeted) = 0;
};
