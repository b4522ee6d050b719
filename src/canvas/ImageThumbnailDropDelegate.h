#pragma once

#include <QUuid>

#include <optional>

class ImageListModel;
class MarkupViewModel;
class QMimeData;

// The reorder rule of the image list's drag: while a card is dragged, each card the pointer
// enters takes the dragged image directly before it (live, not on release); a drop ends the drag.
// Only a drag that started on one of our own cards is accepted, so text dragged in from elsewhere
// never reorders the list.
class ImageThumbnailDropDelegate {
public:
    ImageThumbnailDropDelegate(MarkupViewModel &viewModel, ImageListModel &list);

    // The payload must be the dragged card's id as upper-case text, during our own drag.
    bool validateDrop(const QMimeData *mimeData) const;
    void dropEntered(const QUuid &targetID);
    // Ends the drag (also when the drop lands elsewhere).
    bool performDrop();

private:
    MarkupViewModel &m_viewModel;
    ImageListModel &m_list;
};
