#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// A solid image of the given size and colour (ARGB32).
QImage solidImage(int width, int height, QColor color = Qt::white);

// Writes bytes to a file, creating folders on the way; returns the path.
QString writeFile(const QString &path, const QByteArray &bytes);

} // namespace TestSupport
