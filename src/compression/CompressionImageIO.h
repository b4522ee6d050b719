#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Bounded decoding and metadata-free encoding of still images for the compression service.
namespace CompressionImageIO {

enum class OutputType { png, jpeg };

// The format a file's content really is, from its first bytes (its name plays no part).
enum class SniffedFormat { jpeg, png, gif, other };
SniffedFormat sniffFormat(const QString &path);

// Whether the file's content is the format that the output type writes.
bool contentMatches(const QString &path, OutputType type);

// The size with its long edge brought down to the limit (never enlarged): both sides scaled by
// limit ÷ long edge, rounded half away from zero, at least 1. A limit of 0 or less keeps the size.
QSize fittedSize(QSize size, int longEdgeLimit);

struct UprightImage {
    QImage image;        // orientation applied; possibly decoded smaller than fullSize (see below)
    QSize fullSize;      // the upright size of the whole image
    int frameCount = 1;  // images in the file, at least 1
    // Refused for what it would cost (more pixels than the cap, or than its data can fill), not
    // for being unreadable; the image is null then.
    bool tooLarge = false;
};

// Decodes the file's first image with its orientation applied. The size is checked against the
// pixel cap from the header before any pixel is decoded. With a long-edge limit, a JPEG is decoded
// straight at a reduced scale (1/2, 1/4 or 1/8, done inside the JPEG decoder) when that still
// covers fittedSize(fullSize, limit); callers scale the rest of the way. A null image when nothing
// decodes. frameCount is only asked of the decoder with countFrames. With pixelsOnly the picture's
// density and text entries may be left out. A JPEG whose scan data ends before its picture does,
// or that has more scans than a decode goes through, gives a null image.
UprightImage loadUprightImage(const QString &path, int fitLongEdge = 0, bool countFrames = false,
                              bool pixelsOnly = false);

// The image redrawn at the target size with smooth interpolation; without keepsAlpha, transparent
// areas come out white (drawn on opaque white). An image already at the target size is returned
// as it is when it keeps its alpha or has none.
QImage redrawn(const QImage &image, QSize target, bool keepsAlpha);

// Encodes into a file that must not exist yet. Nothing of the input's metadata (text chunks,
// comments) is written. Throws ImageCompressionServiceError: cannotCreateDestination when the file
// cannot be created, cannotFinalize when encoding or writing fails.
void writeImage(const QImage &image, const QString &path, OutputType type, double jpegQuality);

// A JPEG re-encoded at its own size without a picture in memory: the decoder's rows go straight
// into the encoder, decoding on a second thread while the encoder works. The bytes are those of
// writeImage() given loadUprightImage()'s picture. Only files kept exactly right this way are
// taken: whole three-component or grey JPEGs, upright, without an embedded profile, within the
// pixel cap, that the long-edge limit leaves at their size. Nothing, and no file, for any other;
// the caller takes the general path then. Throws as writeImage() does once the file is written.
std::optional<QSize> recodeJpeg(const QString &path, int fitLongEdge, const QString &outputPath, double jpegQuality);

} // namespace CompressionImageIO
