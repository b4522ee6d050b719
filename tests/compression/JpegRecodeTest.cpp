#include "CompressionTestSupport.h"

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
#include "support/JpegTestFiles.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <jpeglib.h>

using namespace ImageCompressionService;
using namespace CompressionTest;
using JpegTestFiles::exifOrientation;
using JpegTestFiles::Layout;

namespace {

QByteArray encodedJpeg(const Layout &layout, QSize size = { 301, 203 })
{
    return JpegTestFiles::encoded(photoLike(size.width(), size.height()), layout);
}

// What the general path writes: the decoded picture through the ordinary writer.
QByteArray generalPathBytes(const QString &path, const QString &output, double quality)
{
    const auto loaded = CompressionImageIO::loadUprightImage(path);
    if (loaded.image.isNull())
        return {};
    const QImage picture = CompressionImageIO::redrawn(loaded.image, loaded.fullSize, false);
    CompressionImageIO::writeImage(picture, output, CompressionImageIO::OutputType::jpeg, quality);
    return TestSupport::readFile(output);
}

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

// The bytes written for a plain camera-style JPEG at its own size, as recorded before the direct
// path existed.
TEST(JpegRecode, KeepsTheRecordedBytes)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const QString photo = saveImage(photoLike(1203, 901), dir.filePath("photo.jpg"), "jpeg", 92);
    const auto probed = source(photo);
    ASSERT_TRUE(probed);
    const auto bytesAt = [&](double quality) {
        const auto result
            = compress(*probed, ImageCompressionSettings(quality, ImageCompressionMaxDimension::original), out.path());
        return TestSupport::readFile(result.outputURL);
    };
    EXPECT_EQ(sha256(bytesAt(0.75)), "f42b3fcefab1b33a937623f4f9b37d990a25d0f583f3600bade8bbe5fda52a38");
    EXPECT_EQ(sha256(bytesAt(0.5)), "ca8d7bb13e30272398cba8eac5bae8056a2dfa0a64e2c6248e8e059bea2a02c2");
    // The direct path took it.
    EXPECT_TRUE(CompressionImageIO::recodeJpeg(photo, 0, out.filePath("direct.jpg"), 0.75));
}

TEST(JpegRecode, SameBytesAsTheGeneralPathForEveryLayoutItTakes)
{
    QTemporaryDir dir;
    struct Case {
        const char *name;
        Layout layout;
        QSize size;
    };
    std::vector<Case> cases;
    const auto add = [&](const char *name, auto change, QSize size = { 301, 203 }) {
        Layout layout;
        change(layout);
        cases.push_back({ name, layout, size });
    };
    add("420", [](Layout &) {});
    add("444", [](Layout &l) { l.lumaH = l.lumaV = 1; });
    add("422", [](Layout &l) { l.lumaV = 1; });
    add("440", [](Layout &l) { l.lumaH = 1; });
    add("grey", [](Layout &l) { l.grey = true; });
    add("progressive", [](Layout &l) { l.progressive = true; });
    add("restarts", [](Layout &l) { l.restartRows = 1; });
    add("one pixel", [](Layout &) {}, { 1, 1 });
    add("narrow", [](Layout &) {}, { 17, 900 });
    add("300 dpi", [](Layout &l) { l.densityUnit = 1, l.xDensity = 300, l.yDensity = 300; });
    add("uneven dpi", [](Layout &l) { l.densityUnit = 1, l.xDensity = 300, l.yDensity = 71; });
    add("dots per cm", [](Layout &l) { l.densityUnit = 2, l.xDensity = 40, l.yDensity = 40; });
    add("aspect only", [](Layout &l) { l.densityUnit = 0, l.xDensity = 2, l.yDensity = 1; });
    add("comment drops the density", [](Layout &l) { l.densityUnit = 1, l.xDensity = 300, l.comment = "Title: x"; });
    add("upright EXIF", [](Layout &l) { l.app1 = exifOrientation(1); });
    for (const Case &c : cases) {
        const QString path
            = TestSupport::writeFile(dir.filePath(QString::fromLatin1(c.name) + ".jpg"), encodedJpeg(c.layout, c.size));
        for (const double quality : { 0.2, 0.75, 0.95 }) {
            const QString tag = QStringLiteral("%1-%2").arg(QString::fromLatin1(c.name)).arg(quality);
            const QString direct = dir.filePath(tag + "-direct.jpg");
            const auto size = CompressionImageIO::recodeJpeg(path, 0, direct, quality);
            ASSERT_TRUE(size) << c.name;
            EXPECT_EQ(*size, c.size) << c.name;
            const QByteArray expected = generalPathBytes(path, dir.filePath(tag + "-general.jpg"), quality);
            ASSERT_FALSE(expected.isEmpty()) << c.name;
            EXPECT_TRUE(TestSupport::readFile(direct) == expected) << c.name << " at " << quality;
        }
    }
}

TEST(JpegRecode, LeavesToTheGeneralPathWhatItCannotKeepExact)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const auto jpegWith = [&](const char *name, auto change) {
        Layout layout;
        change(layout);
        return TestSupport::writeFile(dir.filePath(name), encodedJpeg(layout));
    };
    const QString plain = jpegWith("plain.jpg", [](Layout &) {});
    const QString plainBytes = sha256(TestSupport::readFile(plain));
    const QStringList declined {
        jpegWith("turned.jpg", [](Layout &l) { l.app1 = exifOrientation(6); }),
        jpegWith("profile.jpg", [](Layout &l) { l.iccProfile = QColorSpace(QColorSpace::DisplayP3).iccProfile(); }),
        jpegWith("cmyk.jpg", [](Layout &l) { l.cmyk = true; }),
        TestSupport::writeFile(dir.filePath("cut.jpg"), TestSupport::readFile(plain).left(3000)),
        saveImage(photoLike(40, 30), dir.filePath("disguised.jpg"), "png"),
    };
    for (const QString &path : declined) {
        const QString output = out.filePath(QFileInfo(path).fileName());
        EXPECT_FALSE(CompressionImageIO::recodeJpeg(path, 0, output, 0.75)) << path.toStdString();
        EXPECT_FALSE(QFile::exists(output)) << path.toStdString();
    }
    // A limit that shrinks the picture needs the scaler; one that does not is no obstacle.
    EXPECT_FALSE(CompressionImageIO::recodeJpeg(plain, 300, out.filePath("smaller.jpg"), 0.75));
    EXPECT_TRUE(CompressionImageIO::recodeJpeg(plain, 800, out.filePath("kept.jpg"), 0.75));

    // Through the service, the turned and profiled files still come out as the general path writes them.
    for (const QString &path : declined.mid(0, 2)) {
        const auto result = compress(*source(path), {}, out.path());
        EXPECT_EQ(TestSupport::readFile(result.outputURL), generalPathBytes(path, out.filePath("ref.jpg"), 0.75));
        QFile::remove(out.filePath("ref.jpg"));
    }
    EXPECT_EQ(sha256(TestSupport::readFile(plain)), plainBytes); // the source is only read
}

// Damaged entropy data decodes with warnings on both paths: the outputs stay the same, and an
// output file already standing is never replaced.
TEST(JpegRecode, DamagedDataAndTakenNames)
{
    QTemporaryDir dir;
    QByteArray bytes = encodedJpeg(Layout {}, { 640, 480 });
    for (qsizetype at = bytes.size() / 2; at < bytes.size() / 2 + 40; ++at)
        bytes[at] = char(quint8(bytes[at]) == 0xFF ? 0xFF : 0x5A);
    const QString damaged = TestSupport::writeFile(dir.filePath("damaged.jpg"), bytes);
    const QString direct = dir.filePath("direct.jpg");
    const auto size = CompressionImageIO::recodeJpeg(damaged, 0, direct, 0.75);
    const QByteArray expected = generalPathBytes(damaged, dir.filePath("general.jpg"), 0.75);
    if (size)
        EXPECT_TRUE(TestSupport::readFile(direct) == expected);
    else
        EXPECT_TRUE(expected.isEmpty());

    const QString taken = TestSupport::writeFile(dir.filePath("taken.jpg"), "keep me");
    const QString plain = TestSupport::writeFile(dir.filePath("plain.jpg"), encodedJpeg(Layout {}));
    try {
        CompressionImageIO::recodeJpeg(plain, 0, taken, 0.75);
        ADD_FAILURE() << "wrote over a file";
    } catch (const ImageCompressionServiceError &error) {
        EXPECT_EQ(error.kind(), ImageCompressionServiceError::Kind::cannotCreateDestination);
    }
    EXPECT_EQ(TestSupport::readFile(taken), "keep me");
}
