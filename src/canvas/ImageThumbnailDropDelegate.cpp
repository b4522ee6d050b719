#include "canvas/ImageThumbnailDropDelegate.h"

#include "canvas/ImageListModel.h"
#include "model/MarkupViewModel.h"
#include "model/UuidText.h"

#include <QMimeData>

ImageThumbnailDropDelegate::ImageThumbnailDropDelegate(MarkupViewModel &viewModel, ImageListModel &list)
    : m_viewModel(viewModel)
    , m_list(list)
{
}

bool ImageThumbnailDropDelegate::validateDrop(const QMimeData *mimeData) const
{
    const std::optional<QUuid> dragging = m_list.draggingID();
    return dragging && mimeData && mimeData->hasText() && mimeData->text() == UuidText::toString(*dragging);
}

void ImageThumbnailDropDelegate::dropEntered(const QUuid &targetID)
{
    const std::optional<QUuid> dragging = m_list.draggingID();
    if (dragging && *dragging != targetID)
        m_viewModel.moveImageItem(*dragging, targetID);
}

bool ImageThumbnailDropDelegate::performDrop()
{
    m_list.setDraggingID(std::nullopt);
    return true;
}
