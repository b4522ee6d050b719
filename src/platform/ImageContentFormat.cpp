#include "platform/ImageContentFormat.h"

#include "platform/GifCodec.h"
#include "platform/ImageLimits.h"

#include <QImageReader>

#include <algorithm>
#include <mutex>

namespace ImageContentFormat {

namespace {

bool imageContentStartsWith(const QByteArray &head, const char *signature, qsizetype length)
{
    return head.size() >= length && std::equal(signature, signature + length, head.constData());
}

// A text format's start: its first characters after any byte-order mark and white space.
QByteArray imageContentText(const QByteArray &head)
{
    qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < head.size() && QChar::isSpace(uchar(head[at])))
        ++at;
    return head.mid(at);
}

} // namespace

QByteArray identify(const QByteArray &head)
{
    const auto starts = [&head](const char *signature, qsizetype length) {
        return imageContentStartsWith(head, signature, length);
    };
    if (starts("\xFF\xD8\xFF", 3))
        return "jpeg";
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return "png";
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return "gif";
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return "tiff";
    if (starts("BM", 2) && head.size() >= 14)
        return "bmp";
    if (starts("RIFF", 4) && head.size() >= 12 && head.mid(8, 4) == "WEBP")
        return "webp";
    if (starts("\0\0\1\0", 4))
        return "ico";
    if (starts("\0\0\2\0", 4))
        return "cur";
    if (starts("icns", 4))
        return "icns";
    if (starts("\x8AMNG\r\n\x1A\n", 8))
        return "mng";
    if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && QChar::isSpace(uchar(head[2])))
        return "ppm";
    const QByteArray text = imageContentText(head);
    if (text.startsWith("/* XPM */"))
        return "xpm";
    if (text.startsWith("#define"))
        return "xbm";
    if ((text.startsWith("<?xml") || text.startsWith("<svg") || text.startsWith("<!--") || text.startsWith("<!DOCTYPE"))
        && text.contains("<svg"))
        return "svg";
    if (starts("\x1F\x8B", 2))
        return "svgz";
    return QByteArray();
}

bool canHold(const QByteArray &format, QSize size, qint64 fileBytes)
{
    // The most pixels a byte of each format can give: run-length BMPs 255 in two bytes, binary
    // PNM and XBM eight (XBM spells a byte of bits in at least two characters), XPM one.
    qint64 pixelsPerByte = 0;
    if (format == "bmp")
        pixelsPerByte = 128;
    else if (format == "ppm")
        pixelsPerByte = 8;
    else if (format == "xbm")
        pixelsPerByte = 4;
    else if (format == "xpm")
        pixelsPerByte = 1;
    return pixelsPerByte == 0 || qint64(size.width()) * size.height() <= std::max<qint64>(fileBytes, 0) * pixelsPerByte;
}

QSize decodedSize(QImageReader &reader)
{
    const QSize reported = reader.size();
    QIODevice *device = reader.device();
    if (reader.format() != "gif" || !device || device->isSequential())
        return reported;
    // The header is read where it is and the device left where the reader had it.
    const qint64 at = device->pos();
    const QByteArray head = device->seek(0) ? device->read(13) : QByteArray();
    device->seek(at);
    const std::optional<QSize> screen = GifCodec::screenSize(head);
    if (!screen)
        return reported;
    return QSize(screen->width() > 0 ? screen->width() : reported.width(),
                 screen->height() > 0 ? screen->height() : reported.height());
}

bool prepare(QImageReader &reader, const QByteArray &head)
{
    // Qt's limit is one for the whole process, set before the first reader reads.
    static std::once_flag limited;
    std::call_once(limited, [] { ImageLimits::configure(); });
    static const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const QByteArray format = identify(head);
    // Without a format and with detection off, the reader finds no handler and reads nothing.
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setFormat(format);
    return !format.isEmpty() && readable.contains(format);
}

} // namespace ImageContentFormat
