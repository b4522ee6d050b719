#pragma once

#include "support/GifTestFiles.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <vector>

// Makers of test inputs (EXIF-tagged JPEGs, PNG headers that lie about their size, photo-like
// pictures) and the GIF makers of the shared test files.
namespace CompressionTest {

// The GIF makers and parser live with the shared test files; compression tests use them by these names.
using GifTestFiles::GifFrameRecipe;
using GifTestFiles::GifRecipe;
using GifTestFiles::ParsedGif;
using GifTestFiles::damageFrame;
using GifTestFiles::parseGif;
using GifTestFiles::qtFrames;
using GifTestFiles::simpleAnimation;
using GifTestFiles::solidFrame;
using GifTestFiles::writeGif;

// JPEG bytes with an EXIF APP1 segment carrying the orientation, right after the SOI marker.
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

// A PNG signature and IHDR chunk claiming the size, followed by a cut-short IDAT chunk.
QByteArray pngHeaderClaiming(quint32 width, quint32 height);

// Saves an image with QImageWriter; returns the path (empty on failure).
QString saveImage(const QImage &image, const QString &path, const char *format = nullptr, int quality = -1);

// A picture with smooth gradients and some detail, like a photo (compresses like one).
QImage photoLike(int width, int height);

// A photo-like picture saved as `name` in `folder` (JPEG at quality 92 unless another format is
// named), and a three-frame 60 × 40 animation; both return the path.
QString writePhoto(const QString &folder, const QString &name, int width, int height, const char *format = "JPEG");
QString writeAnimation(const QString &folder, const QString &name);

// Runs a tool; true on exit code 0.
bool run(const QString &program, const QStringList &arguments);
bool hasTool(const QString &program);

// Points the temporary folder (TMPDIR) at a fresh folder for the scope, so tests can see what the
// service leaves there.
class ScopedTempFolder {
public:
    ScopedTempFolder();
    ~ScopedTempFolder();
    QString path() const { return m_dir.path(); }
    QStringList entries() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

} // namespace CompressionTest
