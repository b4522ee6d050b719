#include "platform/ImageOrientation.h"

#include <QColorSpace>
#include <QTransform>

namespace ImageOrientation {

bool swapsSides(QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

QImage upright(QImage image, QImageIOHandler::Transformations transformation)
{
    if (image.isNull() || transformation == QImageIOHandler::TransformationNone)
        return image;
    const QColorSpace space = image.colorSpace();
    // Mirror first, then turn a quarter clockwise: the order the tag's flags are defined in.
    if (transformation == QImageIOHandler::TransformationRotate270) {
        image = image.transformed(QTransform().rotate(270));
    } else {
        if (transformation & (QImageIOHandler::TransformationMirror | QImageIOHandler::TransformationFlip))
            image = std::move(image).mirrored(transformation.testFlag(QImageIOHandler::TransformationMirror),
                                              transformation.testFlag(QImageIOHandler::TransformationFlip));
        if (swapsSides(transformation))
            image = image.transformed(QTransform().rotate(90));
    }
    image.setColorSpace(space);
    return image;
}

} // namespace ImageOrientation
