#include "CompressionTestSupport.h"

#include "compression/CompressionCropGeometry.h"
#include "compression/ImageCompressionService.h"

#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace ImageCompressionService;

namespace {

// The pixels a crop gets when its ratio is chosen and confirmed straight away: the editor's
// start rectangle fitted to the ratio, in unit coordinates, cut from the image.
QRect confirmedStraightAway(QSize image, CropAspectRatio ratio)
{
    namespace Geometry = CompressionCropGeometry;
    const QSizeF preview = Geometry::previewSize(QSizeF(image));
    Rect rect = Geometry::startRect(preview);
    if (const std::optional<double> r = CropAspectRatios::widthToHeight(ratio, QSizeF(image)))
        rect = Geometry::fittedRect(rect, *r, preview);
    const std::optional<QRectF> unit = Geometry::unitRect(rect, preview);
    EXPECT_TRUE(unit);
    return unit ? cropPixelRect(*unit, image, ratio) : QRect();
}

} // namespace

TEST(CropRatio, ChosenRatiosComeOutAsTheNamedPixelSizes)
{
    const QSize photo(4000, 3000);
    EXPECT_EQ(confirmedStraightAway(photo, CropAspectRatio::Square).size(), QSize(2400, 2400));
    EXPECT_EQ(confirmedStraightAway(photo, CropAspectRatio::Standard).size(), QSize(3200, 2400));
    EXPECT_EQ(confirmedStraightAway(photo, CropAspectRatio::Wide).size(), QSize(3200, 1800));
    EXPECT_EQ(confirmedStraightAway(photo, CropAspectRatio::Original).size(), QSize(3200, 2400));
    // Centred as the editor shows it.
    EXPECT_EQ(confirmedStraightAway(photo, CropAspectRatio::Square), QRect(800, 300, 2400, 2400));

    const QSize odd(1001, 777);
    EXPECT_EQ(confirmedStraightAway(odd, CropAspectRatio::Standard).size(), QSize(800, 600));
    EXPECT_EQ(confirmedStraightAway(odd, CropAspectRatio::Wide).size(), QSize(800, 450));

    // A free crop keeps its pixels, rounded outward.
    EXPECT_EQ(confirmedStraightAway(QSize(1000, 800), CropAspectRatio::Free), QRect(100, 80, 800, 640));
    EXPECT_EQ(cropPixelRect(QRectF(0.103, 0, 0.103, 1), {100, 100}), QRect(10, 0, 11, 100));
}

TEST(CropRatio, EveryFixedRatioIsExactOnEvenAndUnevenSizes)
{
    const QList<QSize> sizes { { 4000, 3000 }, { 1920, 1080 }, { 1600, 1600 }, { 1001, 777 }, { 777, 1001 },
                               { 3024, 4032 }, { 4000, 2252 }, { 999, 333 },   { 97, 61 },    { 20, 9 } };
    for (const QSize size : sizes) {
        for (const CropAspectRatio ratio :
             { CropAspectRatio::Square, CropAspectRatio::Wide, CropAspectRatio::Standard, CropAspectRatio::Original }) {
            SCOPED_TRACE(QStringLiteral("%1×%2 %3")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(CropAspectRatios::title(ratio))
                             .toStdString());
            const QRect pixels = confirmedStraightAway(size, ratio);
            ASSERT_FALSE(pixels.isEmpty());
            EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(pixels));
            const QSize terms = *cropRatioTerms(ratio, size);
            if (std::max(terms.width(), terms.height()) <= 64 && size.width() >= terms.width()
                && size.height() >= terms.height()) {
                EXPECT_EQ(qint64(pixels.width()) * terms.height(), qint64(pixels.height()) * terms.width());
            } else {
                // Terms too large to repeat (the image's own 1000 : 563): the nearest height.
                EXPECT_EQ(pixels.height(),
                          int(std::round(double(pixels.width()) * terms.height() / terms.width())));
            }
            // Never far from what the editor showed: within one step of the ratio's terms.
            const QSizeF preview = CompressionCropGeometry::previewSize(QSizeF(size));
            const Rect shown = CompressionCropGeometry::fittedRect(
                CompressionCropGeometry::startRect(preview), *CropAspectRatios::widthToHeight(ratio, QSizeF(size)),
                preview);
            const double shownWidth = shown.width / preview.width() * size.width();
            EXPECT_LE(std::abs(pixels.width() - shownWidth), std::min(terms.width(), 64) + 1.0);
        }
    }
    EXPECT_EQ(cropRatioTerms(CropAspectRatio::Original, { 1001, 777 }), QSize(143, 111));
    EXPECT_EQ(cropRatioTerms(CropAspectRatio::Free, { 1001, 777 }), std::nullopt);
}

TEST(CropRatio, ACroppedSourceHasTheRatiosPixels)
{
    QTemporaryDir dir;
    const CompressionTest::ScopedTempFolder temp;
    const QString path = CompressionTest::saveImage(CompressionTest::photoLike(1001, 777),
                                                    dir.filePath(QStringLiteral("DSC_0001.jpg")), "JPEG", 92);
    const std::optional<ImageCompressionSource> original = source(path);
    ASSERT_TRUE(original);
    const QRect chosen = confirmedStraightAway(QSize(1001, 777), CropAspectRatio::Wide);
    const QRectF unit(double(chosen.x()) / 1001, double(chosen.y()) / 777, double(chosen.width()) / 1001,
                      double(chosen.height()) / 777);
    const ImageCompressionSource cropped = croppedSource(*original, unit, CropAspectRatio::Wide);
    EXPECT_EQ(cropped.pixelSize, QSizeF(800, 450));
    EXPECT_EQ(QImageReader(cropped.url).size(), QSize(800, 450));
    removeCropFile(cropped.url);
}
