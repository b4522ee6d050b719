#pragma once

#include <QImage>
#include <QImageIOHandler>

// Applying a file's orientation tag ourselves. Readers are asked for pixels as stored
// (setAutoTransform(false)): the reader's own quarter turn makes a new image without the colour
// space, so a wide-gamut portrait photo would lose its profile.
namespace ImageOrientation {

// The picture turned and mirrored as the tag says, keeping its colour space.
QImage upright(QImage image, QImageIOHandler::Transformations transformation);

// Whether the tag swaps width and height.
bool swapsSides(QImageIOHandler::Transformations transformation);

} // namespace ImageOrientation
