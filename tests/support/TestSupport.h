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

// The image encoded in `format` ("PNG", "JPEG", …); quality −1 is the writer's default.
QByteArray encodedImage(const QImage &image, const char *format, int quality = -1);

// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);

// The largest difference of any channel (alpha included) between two images of the same size.
int maxChannelDifference(const QImage &a, const QImage &b);

} // namespace TestSupport
