#include <gtest/gtest.h>

#include "comparison/ComparisonPairing.h"
#include "comparison/widgets/ComparisonPairListView.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageDecoding.h"
#include "support/JpegTestFiles.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

#include <random>

namespace {

// A 2000 × 2000 one-bit scan, black on one half: the left half, or the top half.
QByteArray halfBlackScan(bool leftHalf)
{
    QImage scan(2000, 2000, QImage::Format_Mono);
    scan.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    scan.fill(1);
    for (int y = 0; y < (leftHalf ? 2000 : 1000); ++y)
        for (int x = 0; x < (leftHalf ? 1000 : 2000); ++x)
            scan.setPixel(x, y, 0);
    return TestSupport::encodedImage(scan, "PNG");
}

// Gradients with grain, every pixel different: decodes and shrinks like a photo.
QImage photoLike(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> grain(-20, 20);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = grain(random);
            line[x] = qRgb(std::clamp(x * 255 / width + n, 0, 255), std::clamp(y * 255 / height - n, 0, 255),
                           std::clamp((x + y) % 256 + n, 0, 255));
        }
    }
    return image;
}

// The mean difference of the channels of two pictures of one size, in levels.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace

// A project of many pairs is opened from the headers alone: no side is decoded or keeps a small
// copy; the cards make theirs when drawn, at the card's size, from the right picture.
TEST(ProjectPairs, OpenReadsHeadersOnlyAndCardsMakeTheirThumbnailsWhenDrawn)
{
    QTemporaryDir dir;
    const QByteArray left = halfBlackScan(true);
    const QByteArray top = halfBlackScan(false);
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < 300; ++i)
        document.comparisonPairs.push_back({QUuid::createUuid(),
                                            {QStringLiteral("%1_before.png").arg(i), left, 2000, 2000},
                                            {QStringLiteral("%1_after.png").arg(i), top, 0, 0}});
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("pairs.kivo")),
                                                std::get<QByteArray>(document.encode()));
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    const qint64 cachedBefore = ImageHandle::cachedBytes();
    ASSERT_TRUE(model.openProject(path));
    ASSERT_EQ(model.comparisonPairs().size(), 300u);
    for (const ComparisonPairState &pair : model.comparisonPairs()) {
        for (const ComparisonImageState *side : {&pair.before, &pair.after}) {
            EXPECT_TRUE(side->thumbnail.isNull());
            EXPECT_TRUE(side->image.isLazy());
            EXPECT_EQ(side->image.size(), QSize(2000, 2000));
            // A stored size of 0 × 0 is replaced by the header's.
            EXPECT_EQ(side->pixelSize, QSizeF(2000, 2000));
        }
    }
    EXPECT_EQ(ImageHandle::cachedBytes(), cachedBefore);

    ComparisonPairListModel cards(model);
    cards.setDevicePixelRatio(2);
    for (const int row : {0, 150, 299}) {
        const QImage before = cards.index(row).data(ComparisonPairListModel::BeforeThumbnailRole).value<QPixmap>().toImage();
        const QImage after = cards.index(row).data(ComparisonPairListModel::AfterThumbnailRole).value<QPixmap>().toImage();
        ASSERT_EQ(before.size(), ComparisonPairListModel::thumbnailSize * 2);
        ASSERT_EQ(after.size(), ComparisonPairListModel::thumbnailSize * 2);
        // Away from the rounded corners and the edge between the halves.
        EXPECT_EQ(QColor(before.pixel(30, 42)), QColor(Qt::black));
        EXPECT_EQ(QColor(before.pixel(66, 42)), QColor(Qt::white));
        EXPECT_EQ(QColor(after.pixel(48, 30)), QColor(Qt::black));
        EXPECT_EQ(QColor(after.pixel(48, 60)), QColor(Qt::white));
    }
    // The cards were made without a full-size decode going into the shared cache.
    EXPECT_EQ(ImageHandle::cachedBytes(), cachedBefore);
}

// A JPEG side of a folder batch is decoded reduced (DCT scaling) for its thumbnail, which keeps the
// size and the look of one shrunk from the full picture; the size stays the upright picture's.
TEST(FolderBatchThumbnail, AReducedJpegDecodeKeepsTheThumbnailsSizeAndLook)
{
    QTemporaryDir dir;
    const QImage photo = photoLike(1600, 1200);
    JpegTestFiles::Layout layout;
    const QString upright = TestSupport::writeFile(dir.filePath(QStringLiteral("upright.jpg")),
                                                   JpegTestFiles::encoded(photo, layout));
    layout.app1 = JpegTestFiles::exifOrientation(6); // stored sideways, shown turned a quarter
    const QString turned = TestSupport::writeFile(dir.filePath(QStringLiteral("turned.jpg")),
                                                  JpegTestFiles::encoded(photo, layout));
    for (const QString &path : {upright, turned}) {
        const std::optional<QImage> full = ImageDecoding::loadOrientedImage(path);
        ASSERT_TRUE(full);
        const std::optional<ComparisonImageState> side = ComparisonPairing::decodeImage(path);
        ASSERT_TRUE(side);
        EXPECT_EQ(side->pixelSize, QSizeF(full->size()));
        EXPECT_EQ(side->image.size(), full->size());
        const QImage thumbnail = side->thumbnail.image();
        const QImage reference = ImageDecoding::makeThumbnail(*full, ComparisonPairing::thumbnailDimension);
        ASSERT_EQ(thumbnail.size(), reference.size());
        EXPECT_LT(meanDifference(thumbnail, reference), 2.0) << qPrintable(path);
    }
}
