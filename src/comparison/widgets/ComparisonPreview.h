#pragma once

#include "model/ImageItems.h"

#include <QPixmap>
#include <QSize>

// The small picture of a side, filled into `size` and cropped to its centre with rounded corners.
QPixmap comparisonPreview(const ComparisonImageState &side, QSize size, double radius, qreal ratio);
