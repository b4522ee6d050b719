#include "platform/ImageLimits.h"

#include <QImageReader>

namespace ImageLimits {

void configure()
{
    QImageReader::setAllocationLimit(allocationLimitMB);
}

bool isAcceptableSize(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= maxPixels && height <= maxPixels && width * height <= maxPixels;
}

} // namespace ImageLimits
