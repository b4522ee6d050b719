#include "CompressionTestSupport.h"

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
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

namespace {

// How a test JPEG is laid out; written with the JPEG library directly, so that layouts Qt's
// writer never makes (other subsampling, grey, progressive, restart markers, densities) occur.
struct Layout {
    QSize size { 301, 203 };
    int lumaH = 2, lumaV = 2; // sampling factors of the luma component
    bool grey = false;
    bool cmyk = false;
    bool progressive = false;
    int restartRows = 0;
    int densityUnit = 0, xDensity = 1, yDensity = 1;
    QByteArray comment;
    QByteArray app1;
    QByteArray iccProfile;
};

QByteArray encodedJpeg(const Layout &layout)
{
    const QImage picture = photoLike(layout.size.width(), layout.size.height());
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(layout.size.width());
    info.image_height = JDIMENSION(layout.size.height());
    info.input_components = layout.grey ? 1 : layout.cmyk ? 4 : 3;
    info.in_color_space = layout.grey ? JCS_GRAYSCALE : layout.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (!layout.grey && !layout.cmyk) {
        info.comp_info[0].h_samp_factor = layout.lumaH;
        info.comp_info[0].v_samp_factor = layout.lumaV;
    }
    info.restart_in_rows = layout.restartRows;
    info.density_unit = UINT8(layout.densityUnit);
    info.X_density = UINT16(layout.xDensity);
    info.Y_density = UINT16(layout.yDensity);
    if (layout.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (!layout.comment.isEmpty())
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET *>(layout.comment.constData()),
                          unsigned(layout.comment.size()));
    if (!layout.app1.isEmpty())
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET *>(layout.app1.constData()),
                          unsigned(layout.app1.size()));
    if (!layout.iccProfile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(layout.iccProfile.constData()),
                               unsigned(layout.iccProfile.size()));
    std::vector<JSAMPLE> row(size_t(layout.size.width()) * size_t(info.input_components));
    while (info.next_scanline < info.image_height) {
        const QRgb *pixels = reinterpret_cast<const QRgb *>(picture.constScanLine(int(info.next_scanline)));
        for (int x = 0; x < layout.size.width(); ++x) {
            const QRgb p = pixels[x];
            if (layout.grey) {
                row[size_t(x)] = JSAMPLE(qGray(p));
            } else if (layout.cmyk) {
                const JSAMPLE cmyk[4]
                    = { JSAMPLE(255 - qRed(p)), JSAMPLE(255 - qGreen(p)), JSAMPLE(255 - qBlue(p)), 40 };
                std::copy(cmyk, cmyk + 4, &row[size_t(x) * 4]);
            } else {
                const JSAMPLE rgb[3] = { JSAMPLE(qRed(p)), JSAMPLE(qGreen(p)), JSAMPLE(qBlue(p)) };
                std::copy(rgb, rgb + 3, &row[size_t(x) * 3]);
            }
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

// An EXIF segment (big-endian) holding only the orientation.
QByteArray exifOrientation(int orientation)
{
    QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 32);
    exif[25] = char(orientation);
    return exif;
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
    };
    std::vector<Case> cases;
    const auto add = [&](const char *name, auto change) {
        Layout layout;
        change(layout);
        cases.push_back({ name, layout });
    };
    add("420", [](Layout &) {});
    add("444", [](Layout &l) { l.lumaH = l.lumaV = 1; });
    add("422", [](Layout &l) { l.lumaV = 1; });
    add("440", [](Layout &l) { l.lumaH = 1; });
    add("grey", [](Layout &l) { l.grey = true; });
    add("progressive", [](Layout &l) { l.progressive = true; });
    add("restarts", [](Layout &l) { l.restartRows = 1; });
    add("one pixel", [](Layout &l) { l.size = { 1, 1 }; });
    add("narrow", [](Layout &l) { l.size = { 17, 900 }; });
    add("300 dpi", [](Layout &l) { l.densityUnit = 1, l.xDensity = 300, l.yDensity = 300; });
    add("uneven dpi", [](Layout &l) { l.densityUnit = 1, l.xDensity = 300, l.yDensity = 71; });
    add("dots per cm", [](Layout &l) { l.densityUnit = 2, l.xDensity = 40, l.yDensity = 40; });
    add("aspect only", [](Layout &l) { l.densityUnit = 0, l.xDensity = 2, l.yDensity = 1; });
    add("comment drops the density", [](Layout &l) { l.densityUnit = 1, l.xDensity = 300, l.comment = "Title: x"; });
    add("upright EXIF", [](Layout &l) { l.app1 = exifOrientation(1); });
    for (const Case &c : cases) {
        const QString path
            = TestSupport::writeFile(dir.filePath(QString::fromLatin1(c.name) + ".jpg"), encodedJpeg(c.layout));
        for (const double quality : { 0.2, 0.75, 0.95 }) {
            const QString tag = QStringLiteral("%1-%2").arg(QString::fromLatin1(c.name)).arg(quality);
            const QString direct = dir.filePath(tag + "-direct.jpg");
            const auto size = CompressionImageIO::recodeJpeg(path, 0, direct, quality);
            ASSERT_TRUE(size) << c.name;
            EXPECT_EQ(*size, c.layout.size) << c.name;
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
    Layout layout;
    layout.size = { 640, 480 };
    QByteArray bytes = encodedJpeg(layout);
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
