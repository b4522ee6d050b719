#include <gtest/gtest.h>

#include "platform/PdfImageWriter.h"
#include "platform/PngEncoder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <random>

namespace {

QImage randomImage(int width, int height, unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::minstd_rand random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(int(random() % 256), (x * 7) % 256, y % 256));
    return image;
}

QString run(const QString &tool, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool addImagePage(PdfImageWriter &writer, const QImage &image)
{
    return writer.addPage(image.width(), image.height(), *PngEncoder::imageData(*PngEncoder::encodeOpaque(image)));
}

// Accepts a number of bytes, then refuses everything.
class FillingDevice : public QBuffer {
public:
    explicit FillingDevice(qint64 room)
        : m_room(room)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        if (length > m_room)
            return -1;
        m_room -= length;
        return QBuffer::writeData(data, length);
    }

private:
    qint64 m_room;
};

} // namespace

TEST(PdfImageWriter, PagesHoldTheirPicturesLosslesslyAtTheirExactSize)
{
    for (const char *tool : { "pdfinfo", "pdfimages" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    }
    // Odd widths check the predictor's row length; 595 × 842 must stay as it is.
    const std::vector<QImage> images { randomImage(37, 23, 1), randomImage(595, 842, 2), randomImage(300, 1, 3) };
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        PdfImageWriter writer(buffer);
        for (const QImage &image : images)
            ASSERT_TRUE(addImagePage(writer, image));
        EXPECT_EQ(writer.pageCount(), 3);
        ASSERT_TRUE(writer.finish());
    }
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("pages.pdf")), bytes);

    if (!QStandardPaths::findExecutable(QStringLiteral("qpdf")).isEmpty()) {
        int exitCode = -1;
        const QString check = run(QStringLiteral("qpdf"), { QStringLiteral("--check"), path }, &exitCode);
        EXPECT_EQ(exitCode, 0) << check.toStdString();
    }

    const QString info = run(QStringLiteral("pdfinfo"),
                             { QStringLiteral("-box"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                               QStringLiteral("3"), path });
    for (const char *box : { "Page 1 MediaBox: 0.00 0.00 37.00 23.00", "Page 2 CropBox: 0.00 0.00 595.00 842.00",
                             "Page 3 MediaBox: 0.00 0.00 300.00 1.00" })
        EXPECT_TRUE(info.simplified().contains(QString::fromLatin1(box))) << box << "\n" << info.toStdString();

    run(QStringLiteral("pdfimages"), { QStringLiteral("-png"), path, dir.filePath(QStringLiteral("image")) });
    for (size_t i = 0; i < images.size(); ++i) {
        const QImage extracted(dir.filePath(QStringLiteral("image-%1.png").arg(i, 3, 10, QChar(u'0'))));
        ASSERT_EQ(extracted.size(), images[i].size()) << i;
        EXPECT_EQ(TestSupport::maxChannelDifference(extracted, images[i]), 0) << i;
    }
}

TEST(PdfImageWriter, ARefusingDeviceOrNoPageIsAFailure)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    PdfImageWriter empty(buffer);
    EXPECT_FALSE(empty.finish());

    const QImage image = randomImage(200, 100, 4);
    for (const qint64 room : { qint64(0), qint64(40), qint64(2000) }) {
        FillingDevice device(room);
        PdfImageWriter writer(device);
        EXPECT_FALSE(addImagePage(writer, image)) << room;
        EXPECT_EQ(writer.pageCount(), 0);
        EXPECT_FALSE(writer.finish());
    }
    // The page fits, the page tree and cross-reference table do not.
    QByteArray whole;
    QBuffer wholeBuffer(&whole);
    wholeBuffer.open(QIODevice::WriteOnly);
    PdfImageWriter complete(wholeBuffer);
    ASSERT_TRUE(addImagePage(complete, image));
    ASSERT_TRUE(complete.finish());
    FillingDevice device(whole.size() - 10);
    PdfImageWriter writer(device);
    ASSERT_TRUE(addImagePage(writer, image));
    EXPECT_FALSE(writer.finish());
}
