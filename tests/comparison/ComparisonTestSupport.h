#pragma once

#include "model/ImageItems.h"

#include <QColor>
#include <QString>
#include <QUuid>

namespace ComparisonTest {

// Writes a solid PNG (or JPEG, by the extension) of the size and colour; returns the path.
QString writeImage(const QString &path, int width, int height, QColor color = Qt::gray);

// A pair with in-memory solid pictures.
ComparisonPairState pair(const QString &beforeName, QSize beforeSize = {40, 30}, QSize afterSize = {40, 30},
                         QColor beforeColor = Qt::red, QColor afterColor = Qt::blue);

} // namespace ComparisonTest
