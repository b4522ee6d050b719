#include "CompressionTestSupport.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>

#include <cmath>

namespace CompressionTest {

namespace {

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data) {
        crc ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

void appendChunk(QByteArray &out, const char *type, const QByteArray &data, bool cut = false)
{
    appendBigEndian(out, static_cast<quint32>(data.size()));
    const QByteArray body = QByteArray(type) + data;
    out.append(cut ? body.left(body.size() / 2) : body);
    if (!cut)
        appendBigEndian(out, crc32(body));
}

} // namespace

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff.append("\x01\0", 2);                        // one entry
    tiff.append("\x12\x01\x03\0\x01\0\0\0", 8);      // tag 0x0112, SHORT, count 1
    tiff.append(static_cast<char>(orientation));
    tiff.append("\0\0\0", 3);                        // value padded to 4 bytes
    tiff.append("\0\0\0\0", 4);                      // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const int length = payload.size() + 2;
    segment.append(static_cast<char>(length >> 8));
    segment.append(static_cast<char>(length & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray pngHeaderClaiming(quint32 width, quint32 height)
{
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray ihdr;
    appendBigEndian(ihdr, width);
    appendBigEndian(ihdr, height);
    ihdr.append("\x08\x06\0\0\0", 5); // 8-bit RGBA, no interlace
    appendChunk(png, "IHDR", ihdr);
    appendChunk(png, "IDAT", QByteArray(64, '\x78'), true);
    return png;
}

QString saveImage(const QImage &image, const QString &path, const char *format, int quality)
{
    QImageWriter writer(path, format ? QByteArray(format) : QByteArray());
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(image) ? path : QString();
}

QString writePhoto(const QString &folder, const QString &name, int width, int height, const char *format)
{
    return saveImage(photoLike(width, height), QDir(folder).filePath(name), format,
                     format == QByteArray("JPEG") ? 92 : -1);
}

QString writeAnimation(const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name);
    writeGif(path, simpleAnimation(QSize(60, 40), 3));
    return path;
}

QImage photoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const double fy = double(y) / height;
            const int noise = static_cast<int>((x * 7919u + y * 104729u) % 23u);
            row[x] = qRgb(std::clamp(int(255 * fx) + noise, 0, 255),
                          std::clamp(int(128 + 100 * std::sin(fx * 12 + fy * 7)), 0, 255),
                          std::clamp(int(255 * fy) - noise, 0, 255));
        }
    }
    return image;
}

bool hasTool(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

ScopedTempFolder::ScopedTempFolder()
    : m_previous(qgetenv("TMPDIR"))
    , m_hadPrevious(qEnvironmentVariableIsSet("TMPDIR"))
{
    qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
}

ScopedTempFolder::~ScopedTempFolder()
{
    if (m_hadPrevious)
        qputenv("TMPDIR", m_previous);
    else
        qunsetenv("TMPDIR");
}

QStringList ScopedTempFolder::entries() const
{
    return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace CompressionTest
