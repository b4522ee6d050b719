#include <gtest/gtest.h>

#include "markup/AnnotationRenderer.h"
#include "markup/AnnotationRendererRaster.h"
#include "markup/AnnotationRendererTargets.h"
#include "markup/MarkupTestSupport.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <cmath>

namespace {

// A busy scene like the export benchmark's, smaller: every kind of annotation with short and long,
// Latin and Chinese, one- and multi-line labels, thin to very wide strokes, label fonts below and
// above the size the painter caches glyphs for, overlapping shapes and a click-sized brush.
std::vector<MarkupAnnotation> busyScene()
{
    const QString colours[] = {QStringLiteral("#DC2626"), QStringLiteral("#2563EB"), QStringLiteral("#16A34A"),
                               QStringLiteral("#111111")};
    const QString texts[] = {QStringLiteral("标注文字"), QStringLiteral("Wide label text"),
                             QStringLiteral("两行\n文字 gy"), QString(),
                             QStringLiteral("一个很长很长很长很长很长很长很长很长的标注")};
    const AnnotationKind kinds[] = {AnnotationKind::Arrow, AnnotationKind::Rectangle, AnnotationKind::Brush,
                                    AnnotationKind::Text};
    std::vector<MarkupAnnotation> scene;
    for (int i = 0; i < 240; ++i) {
        const AnnotationKind kind = kinds[i % 4];
        const double x = 0.03 + 0.9 * std::fmod(i * 0.137, 1.0);
        const double y = 0.03 + 0.9 * std::fmod(i * 0.291, 1.0);
        MarkupAnnotation a = makeAnnotation(kind, {x, y}, {std::min(x + 0.05 + 0.01 * (i % 7), 1.0),
                                                           std::min(y + 0.04 + 0.013 * (i % 5), 1.0)},
                                            texts[i % 5], i % 3 == 0 ? std::optional<qint64>(i) : std::nullopt);
        a.colorHex = colours[i % 4];
        a.lineWidth = 1 + (i % 9) * 2.5; // 1.2 … 25 pixels
        a.fontSize = 14 + (i % 6) * 9; // 17 … 71 pixels
        a.curveDirection = i % 2 ? 1 : -1;
        if (kind == AnnotationKind::Brush) {
            const int count = i % 8 == 2 ? 2 : 120;
            for (int p = 0; p < count; ++p)
                a.points.push_back(UnitPoint2D(std::min(x + (count == 2 ? 0 : p * 0.0012), 1.0),
                                               std::clamp(y + 0.02 * std::sin(p * 0.11 + i), 0.0, 1.0)));
        }
        scene.push_back(a);
    }
    return scene;
}

QImage blankCanvas(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(236, 240, 244));
    return image;
}

void paintScene(QImage &image, const std::vector<MarkupAnnotation> &scene, QSizeF canvas, const QTransform &transform,
                bool viaPainterCalls)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // A clipped painter is never rasterised directly: it takes the painter's own stroking and text.
    // The clip is the whole bitmap, so it changes nothing else.
    if (viaPainterCalls)
        painter.setClipRect(image.rect());
    painter.setTransform(transform);
    AnnotationRenderer::drawAnnotations(painter, scene, canvas);
}

struct Difference {
    double largeShare = 0; // pixels with a channel more than 8 levels off
    int worst = 0;
};

Difference compare(const QImage &a, const QImage &b)
{
    qint64 large = 0;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *la = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *lb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d = std::max({std::abs(qRed(la[x]) - qRed(lb[x])), std::abs(qGreen(la[x]) - qGreen(lb[x])),
                                    std::abs(qBlue(la[x]) - qBlue(lb[x])), std::abs(qAlpha(la[x]) - qAlpha(lb[x]))});
            worst = std::max(worst, d);
            large += d > 8;
        }
    }
    return {double(large) / (double(a.width()) * a.height()), worst};
}

void saveForInspection(const QImage &image, const char *name)
{
    const QByteArray folder = qgetenv("KIVORA_RENDER_DUMP_DIR");
    if (!folder.isEmpty())
        image.save(QDir(QString::fromLocal8Bit(folder)).filePath(QString::fromLatin1(name)));
}

} // namespace

TEST(AnnotationRaster, DirectRasterisationMatchesThePainter)
{
    const std::vector<MarkupAnnotation> scene = busyScene();
    const QSize size(1200, 800);
    QImage painted = blankCanvas(size), rasterised = blankCanvas(size);
    paintScene(painted, scene, size, QTransform(), true);
    paintScene(rasterised, scene, size, QTransform(), false);
    saveForInspection(painted, "painter.png");
    saveForInspection(rasterised, "raster.png");
    ASSERT_NE(painted, blankCanvas(size));
    const Difference d = compare(painted, rasterised);
    EXPECT_LE(d.largeShare, 0.005) << "worst channel difference " << d.worst;

    // At screen scale under a translated, scaled painter (the canvas overlay): small label text is
    // handed to the painter between rasterised shapes, and the stacking still matches.
    const QTransform overlay = QTransform::fromTranslate(31.5, 17.25).scale(0.55, 0.55);
    QImage paintedSmall = blankCanvas(QSize(720, 480)), rasterisedSmall = blankCanvas(QSize(720, 480));
    paintScene(paintedSmall, scene, size, overlay, true);
    paintScene(rasterisedSmall, scene, size, overlay, false);
    saveForInspection(paintedSmall, "painter-overlay.png");
    saveForInspection(rasterisedSmall, "raster-overlay.png");
    const Difference small = compare(paintedSmall, rasterisedSmall);
    EXPECT_LE(small.largeShare, 0.005) << "worst channel difference " << small.worst;
}

TEST(AnnotationRaster, OnlyPlainBitmapPaintersAreRasterisedDirectly)
{
    QImage image = blankCanvas(QSize(64, 64));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        EXPECT_TRUE(RasterDrawTarget::create(painter));
        painter.translate(3, 4);
        painter.scale(2, 2);
        EXPECT_TRUE(RasterDrawTarget::create(painter));
        painter.scale(1, 1.5); // round pens would turn into ellipses
        EXPECT_FALSE(RasterDrawTarget::create(painter));
        painter.resetTransform();
        painter.rotate(10);
        EXPECT_FALSE(RasterDrawTarget::create(painter));
        painter.resetTransform();
        painter.setClipRect(0, 0, 10, 10);
        EXPECT_FALSE(RasterDrawTarget::create(painter));
        painter.setClipping(false);
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        EXPECT_FALSE(RasterDrawTarget::create(painter));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setRenderHint(QPainter::Antialiasing, false);
        EXPECT_FALSE(RasterDrawTarget::create(painter));
    }
    QImage rgb888(64, 64, QImage::Format_RGB888);
    {
        QPainter painter(&rgb888);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        EXPECT_FALSE(RasterDrawTarget::create(painter));
    }
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    QPdfWriter pdf(&file);
    QPainter painter(&pdf);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    EXPECT_FALSE(RasterDrawTarget::create(painter));
    // A vector painter still gets every annotation.
    AnnotationRenderer::drawAnnotations(painter, busyScene(), QSizeF(600, 400));
    painter.end();
    EXPECT_GT(file.size(), 10'000);
}

TEST(AnnotationRaster, EdgeCoverageIsTheCoveredShareOfThePixel)
{
    // Axis-aligned edges ramp linearly over one pixel.
    EXPECT_DOUBLE_EQ(AnnotationRaster::edgeCoverage(0, 1, 0), 0.5);
    EXPECT_DOUBLE_EQ(AnnotationRaster::edgeCoverage(0.25, 0, 1), 0.75);
    EXPECT_DOUBLE_EQ(AnnotationRaster::edgeCoverage(-0.6, 1, 0), 0);
    // A diagonal edge through the centre halves the pixel; through a corner it leaves nothing.
    EXPECT_NEAR(AnnotationRaster::edgeCoverage(0, 1, 1), 0.5, 1e-6);
    EXPECT_NEAR(AnnotationRaster::edgeCoverage(std::sqrt(0.5), 1, 1), 1, 1e-6);
    EXPECT_NEAR(AnnotationRaster::edgeCoverage(0.5, 1, 1), 1 - std::pow(std::sqrt(0.5) - 0.5, 2), 1e-6);
}

TEST(AnnotationRaster, ShapesStackInOrderAndRespectOpacity)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    AnnotationRaster::Shape under;
    under.kind = AnnotationRaster::Shape::Kind::Fill;
    under.segments = {{{0, 0}, {40, 0}}, {{40, 0}, {40, 20}}, {{40, 20}, {0, 20}}, {{0, 20}, {0, 0}}};
    under.colour = qRgb(255, 0, 0);
    under.clip = image.rect();
    under.bounds = QRectF(0, 0, 40, 20);
    AnnotationRaster::Shape over = under;
    over.kind = AnnotationRaster::Shape::Kind::Stroke;
    over.segments = {{{10, 10}, {30, 10}}};
    over.halfWidth = 4;
    over.colour = qPremultiply(qRgba(0, 0, 255, 128));
    over.bounds = QRectF(6, 6, 28, 8);
    AnnotationRaster::paint(image, {under, over});
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 0, 0));
    const QRgb mixed = image.pixel(20, 10);
    EXPECT_NEAR(qRed(mixed), 127, 1);
    EXPECT_NEAR(qBlue(mixed), 128, 1);
    EXPECT_EQ(qAlpha(mixed), 255);
    // The round cap reaches 4 pixels past the end, not further.
    EXPECT_EQ(image.pixel(35, 10), qRgb(255, 0, 0));
    EXPECT_NE(image.pixel(33, 10), qRgb(255, 0, 0));
}
