#include "FuzzSupport.h"

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
#include "platform/ImageDecoding.h"
#include "platform/ImageLimits.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {

QTemporaryDir *fuzzFolder = nullptr;

} // namespace

void start()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = { name, nullptr };
    // Kept for the process's life, as the program keeps its application.
    new QGuiApplication(argc, argv);
    ImageLimits::configure();
    fuzzFolder = new QTemporaryDir();
}

QString writtenFile(const QByteArray &bytes, const QString &name)
{
    const QString path = fuzzFolder->filePath(name);
    QFile::remove(path);
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "the input is written to a file");
    return path;
}

QString freshPath(const QString &name)
{
    const QString path = fuzzFolder->filePath(name);
    QFile::remove(path);
    return path;
}

void require(bool holds, const char *promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

void readAsImage(const QByteArray &bytes, const QString &suffix)
{
    const std::optional<QSize> size = ImageDecoding::orientedImageSizeData(bytes);
    const std::optional<QImage> image = ImageDecoding::loadOrientedImageData(bytes);
    if (image) {
        require(!image->isNull() && ImageLimits::isAcceptableSize(image->width(), image->height()),
                "a picture read is within the pixel cap");
        if (size && image->size() != *size)
            std::fprintf(stderr, "header %d × %d, picture %d × %d\n", size->width(), size->height(), image->width(),
                         image->height());
        if (size)
            require(image->size() == *size, "a picture read has the size its header gives");
    }
    if (const auto preview = ImageDecoding::previewImageData(bytes, 160))
        require(preview->thumbnail.width() <= 160 && preview->thumbnail.height() <= 160
                    && ImageLimits::isAcceptableSize(preview->size.width(), preview->size.height()),
                "a preview is no larger than asked, of a picture within the pixel cap");
    const QString path = writtenFile(bytes, QStringLiteral("input.") + suffix);
    if (const auto probed = ImageCompressionService::source(path))
        require(probed->pixelSize.width() > 0 && probed->pixelSize.height() > 0, "a listed picture has a size");
    const CompressionImageIO::UprightImage reduced = CompressionImageIO::loadUprightImage(path, 800);
    if (!reduced.image.isNull())
        require(reduced.image.width() <= reduced.fullSize.width() && reduced.image.height() <= reduced.fullSize.height(),
                "a reduced picture is no larger than the whole one");
    const CompressionImageIO::UprightImage whole = CompressionImageIO::loadUprightImage(path);
    if (!whole.image.isNull())
        require(ImageLimits::isAcceptableSize(whole.image.width(), whole.image.height()),
                "a picture read for compression is within the pixel cap");
}

} // namespace FuzzSupport

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::start();
    return 0;
}
