#include <gtest/gtest.h>

#include "markup/AnnotationRenderer.h"
#include "markup/LabelFont.h"
#include "markup/MarkupGeometry.h"
#include "markup/MarkupTestSupport.h"
#include "support/TestFonts.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>

namespace {

// Pixels along a column whose colour is mostly the annotation red (#DC2626) rather than white.
int redRun(const QImage &image, int x, int fromY, int toY)
{
    int count = 0;
    for (int y = fromY; y < toY; ++y) {
        const QColor c = image.pixelColor(x, y);
        if (c.green() < 160 && c.red() > 150)
            ++count;
    }
    return count;
}

QImage decode(const QByteArray &bytes)
{
    return QImage::fromData(bytes);
}

} // namespace

TEST(AnnotationRenderer, TransparentAreasComeOutWhiteAndOpaque)
{
    QImage base(40, 30, QImage::Format_ARGB32);
    base.fill(Qt::transparent);
    base.setPixelColor(5, 5, QColor(0, 0, 255));
    const auto png = AnnotationRenderer::pngData(base, {});
    ASSERT_TRUE(png);
    const QImage out = decode(*png);
    ASSERT_EQ(out.size(), QSize(40, 30));
    EXPECT_FALSE(out.hasAlphaChannel());
    EXPECT_EQ(out.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(out.pixelColor(5, 5), QColor(0, 0, 255));

    const auto bitmap = AnnotationRenderer::renderedBitmap(base, {});
    ASSERT_TRUE(bitmap);
    for (int y = 0; y < bitmap->height(); ++y)
        for (int x = 0; x < bitmap->width(); ++x)
            ASSERT_EQ(qAlpha(bitmap->pixel(x, y)), 255);

    EXPECT_FALSE(AnnotationRenderer::renderedBitmap(QImage(), {}));
    EXPECT_FALSE(AnnotationRenderer::pngData(QImage(), {}));
}

TEST(AnnotationRenderer, StrokeWidthsAreTakenOfThePixelSize)
{
    const QImage base = TestSupport::solidImage(4000, 3000);
    // Line width 3 on 4000 × 3000: 12 pixels; a rectangle is stroked, never filled.
    const MarkupAnnotation thick = makeAnnotation(AnnotationKind::Rectangle, {0.25, 0.2}, {0.75, 0.6});
    MarkupAnnotation thin = makeAnnotation(AnnotationKind::Brush, {0.1, 0.9}, {0.9, 0.9});
    thin.lineWidth = 0.1; // 1.1 for shapes, at least 2 for brushes
    const auto bitmap = AnnotationRenderer::renderedBitmap(base, {thick, thin});
    ASSERT_TRUE(bitmap);
    EXPECT_NEAR(redRun(*bitmap, 2000, 560, 640), 12, 1);
    EXPECT_NEAR(redRun(*bitmap, 2000, 1760, 1840), 12, 1);
    EXPECT_EQ(bitmap->pixelColor(2000, 1200), QColor(Qt::white));
    EXPECT_NEAR(redRun(*bitmap, 2000, 2680, 2720), 2, 1);
}

TEST(AnnotationRenderer, LaterAnnotationsCoverEarlierOnes)
{
    const QImage base = TestSupport::solidImage(400, 400, Qt::black);
    MarkupAnnotation first = makeAnnotation(AnnotationKind::Rectangle, {0.25, 0.25}, {0.75, 0.75});
    first.lineWidth = 30; // 12 pixels
    MarkupAnnotation second = first;
    second.colorHex = QStringLiteral("#2563EB");
    const auto bitmap = AnnotationRenderer::renderedBitmap(base, {first, second});
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixelColor(200, 100), QColor(0x25, 0x63, 0xEB));
}

TEST(AnnotationRenderer, LabelsAreDrawnOnlyForVisibleText)
{
    const QImage base = TestSupport::solidImage(600, 400, Qt::black);
    const QSizeF size(600, 400);
    // A numbered arrow with blank text has no bubble; a numbered text annotation shows its number.
    MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, {0.1, 0.5}, {0.2, 0.5}, QString(), 1);
    arrow.labelPosition = UnitPoint2D(0.5, 0.1);
    const auto bare = AnnotationRenderer::renderedBitmap(base, {arrow});
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->pixelColor(310, 50), QColor(Qt::black));

    const MarkupAnnotation text = makeAnnotation(AnnotationKind::Text, {0.5, 0.1}, {0.5, 0.1}, QString(), 1);
    const auto layout = MarkupGeometry::labelLayout(text, size);
    ASSERT_TRUE(layout);
    const auto labelled = AnnotationRenderer::renderedBitmap(base, {text});
    ASSERT_TRUE(labelled);
    // The bubble is white at 0.86 over black; the number is drawn in the annotation colour.
    const Rect bubble = layout->bubbleRect;
    const QColor inside = labelled->pixelColor(int(bubble.maxX()) - 4, int(bubble.midY()));
    EXPECT_NEAR(inside.red(), 219, 2);
    EXPECT_EQ(inside.red(), inside.blue());
    int reddish = 0;
    for (int y = int(bubble.minY()); y < int(bubble.maxY()); ++y)
        for (int x = int(bubble.minX()); x < int(bubble.minX() + 30); ++x)
            reddish += labelled->pixelColor(x, y).red() > 150 && labelled->pixelColor(x, y).green() < 120;
    EXPECT_GT(reddish, 10);
}

TEST(AnnotationRenderer, LongLinesAreClippedNotWrapped)
{
    const QImage base = TestSupport::solidImage(800, 400, Qt::black);
    MarkupAnnotation a = makeAnnotation(AnnotationKind::Text, {0.1, 0.1}, {0.1, 0.1}, QString(40, QChar(u'W')));
    a.labelWidth = 32; // a single W is narrower than 32 at this size: many lines, none overflowing
    a.fontSize = 40;
    const auto layout = MarkupGeometry::labelLayout(a, QSizeF(800, 400));
    ASSERT_TRUE(layout);
    const auto bitmap = AnnotationRenderer::renderedBitmap(base, {a});
    ASSERT_TRUE(bitmap);
    // Nothing of the text spills right of the bubble.
    const int right = int(std::ceil(layout->bubbleRect.maxX())) + 2;
    for (int y = 0; y < bitmap->height(); ++y)
        ASSERT_EQ(bitmap->pixelColor(right, y), QColor(Qt::black)) << y;
}

TEST(AnnotationRenderer, HostileSizesDoNotBreakRendering)
{
    const QImage base = TestSupport::solidImage(100, 100);
    MarkupAnnotation a = makeAnnotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.9, 0.9}, QStringLiteral("x"));
    a.lineWidth = INFINITY;
    a.fontSize = 1e300;
    MarkupAnnotation b = makeAnnotation(AnnotationKind::Brush, {0.1, 0.1}, {0.9, 0.9}, QStringLiteral("y"));
    b.fontSize = std::nan("");
    b.lineWidth = -5;
    EXPECT_TRUE(AnnotationRenderer::renderedBitmap(base, {a, b}));
}

TEST(AnnotationRenderer, FarOutCoordinatesRenderTheRest)
{
    // A project may hold coordinates far off the picture (1e26); the curve's step count from such
    // controls exceeds any int and must be bounded before it is converted.
    const QImage base = TestSupport::solidImage(200, 200, Qt::black);
    std::vector<MarkupAnnotation> scene;
    for (const double far : {1e26, -1e26, 1e300}) {
        MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, {0.1, 0.1}, {far, 0.5}, QString());
        arrow.curveDirection = 1;
        arrow.lineWidth = 6;
        scene.push_back(arrow);
        MarkupAnnotation rect = makeAnnotation(AnnotationKind::Rectangle, {0.2, 0.2}, {0.4, far}, QString());
        rect.lineWidth = 6;
        scene.push_back(rect);
        MarkupAnnotation labelled = makeAnnotation(AnnotationKind::Text, {far, far}, {far, far}, QStringLiteral("远处"));
        labelled.fontSize = 90; // above the size the painter caches glyphs for
        scene.push_back(labelled);
        MarkupAnnotation brush = makeAnnotation(AnnotationKind::Brush, {0.1, 0.1}, {far, 0.2}, QString());
        brush.lineWidth = 6;
        brush.points = {UnitPoint2D(0.1, 0.1), UnitPoint2D(far, 0.2), UnitPoint2D(0.3, far)};
        scene.push_back(brush);
    }
    MarkupAnnotation visible = makeAnnotation(AnnotationKind::Rectangle, {0.5, 0.5}, {0.9, 0.9}, QString());
    visible.colorHex = QStringLiteral("#FFFFFF");
    visible.lineWidth = 8;
    scene.push_back(visible);
    const auto bitmap = AnnotationRenderer::renderedBitmap(base, scene);
    ASSERT_TRUE(bitmap);
    // The ordinary annotation after them is still drawn.
    EXPECT_GT(bitmap->pixelColor(140, 180).red(), 200);
}

TEST(AnnotationRenderer, JpegQualityIsClamped)
{
    EXPECT_EQ(AnnotationRenderer::jpegQuality(0), 10);
    EXPECT_EQ(AnnotationRenderer::jpegQuality(5), 100);
    EXPECT_EQ(AnnotationRenderer::jpegQuality(std::nan("")), 10);
    EXPECT_EQ(AnnotationRenderer::jpegQuality(0.855), 86);
    QImage base(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            base.setPixel(x, y, qRgb(x, y, (x * y) % 256));
    const auto low = AnnotationRenderer::jpegData(base, {}, 0);
    const auto high = AnnotationRenderer::jpegData(base, {}, 5);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    EXPECT_EQ(decode(*high).size(), QSize(200, 200));
}

TEST(AnnotationRenderer, LabelsInScriptsOfFallbackFontsAreDrawn)
{
    // With the project's fonts nothing shapes these scripts (boxes, which have no outlines); with
    // the script fonts a fallback face does. On large pictures the default label size is past the
    // size the painter caches glyphs for, where labels are filled as outlines; small pictures take
    // the painter's own path. Either way the label shows and nothing else breaks.
    std::vector<MarkupAnnotation> scene;
    double y = 0.05;
    for (const char *text : {"ತ", "हिन्दी", "தமிழ்", "বাংলা", "ខ្មែរ"}) {
        MarkupAnnotation a = makeAnnotation(AnnotationKind::Text, {0.1, y}, {0.1, y}, QString::fromUtf8(text));
        a.fontSize = 26;
        scene.push_back(a);
        y += 0.18;
    }
    for (const int width : {3200, 800}) {
        const QSizeF size(width, width * 3 / 4);
        const QImage base = TestSupport::solidImage(int(size.width()), int(size.height()), Qt::white);
        const auto bitmap = AnnotationRenderer::renderedBitmap(base, scene);
        ASSERT_TRUE(bitmap) << width;
        for (const MarkupAnnotation &a : scene) {
            const auto layout = MarkupGeometry::labelLayout(a, size);
            ASSERT_TRUE(layout);
            const QRect text = layout->textRect.toQRectF().toAlignedRect();
            int ink = 0;
            for (int x = text.left(); x <= text.right(); ++x)
                ink += redRun(*bitmap, x, text.top(), text.bottom());
            EXPECT_GT(ink, 0) << width << " " << a.text.toStdString();
        }
        EXPECT_TRUE(AnnotationRenderer::pdfData({{ImageHandle(base), scene}})) << width;
    }
}

TEST(AnnotationRenderer, EveryLineStandsOnTheLabelFacesBaseline)
{
    // A fallback face has an ascent of its own; laid out by it, a line written only in its script
    // would ride higher in its bubble than a Latin line, and move when a digit is typed into it.
    // Outlines (large text) and painted glyphs (small text) both stand on the label face's baseline.
    const double fontSize = 100;
    const QRectF rect(0, 0, 2000, 200);
    const bool shaped = TestFonts::current() == TestFonts::Set::WithScriptFonts;
    for (const char *text : {"Label 1", "标注", "தமிழ்", "हिन्दी", "ខ្មែរ", "தமிழ் 12"}) {
        const std::optional<LabelFont::LineOutline> outline = LabelFont::lineOutline(rect, QString::fromUtf8(text), fontSize);
        // Boxes (no font for the script) have no outlines: only the painter draws them.
        ASSERT_EQ(outline.has_value(), shaped || std::string(text) == "Label 1" || std::string(text) == "标注") << text;
        if (!outline)
            continue;
        ASSERT_FALSE(outline->glyphs.empty()) << text;
        // The first glyph: marks after it may be set above or below the baseline.
        EXPECT_DOUBLE_EQ(outline->glyphs.front().position.y() * outline->scale, LabelFont::baseline(fontSize)) << text;

        // The painter puts its glyphs where the outlines are.
        QImage painted(rect.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        painted.fill(Qt::white);
        QImage filled = painted;
        {
            QPainter painter(&painted);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setPen(Qt::black);
            LabelFont::drawLine(painter, rect, QString::fromUtf8(text), fontSize);
        }
        {
            QPainter painter(&filled);
            painter.setRenderHint(QPainter::Antialiasing);
            for (const LabelFont::LineOutline::Glyph &glyph : outline->glyphs)
                painter.fillPath(QTransform::fromTranslate(glyph.position.x(), glyph.position.y()).map(glyph.outline),
                                 Qt::black);
        }
        auto inkRows = [](const QImage &image) {
            int top = -1, bottom = -1;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qGray(image.pixel(x, y)) < 128) {
                        top = top < 0 ? y : top;
                        bottom = y;
                    }
            return std::make_pair(top, bottom);
        };
        const auto [paintedTop, paintedBottom] = inkRows(painted);
        const auto [filledTop, filledBottom] = inkRows(filled);
        ASSERT_GE(filledTop, 0) << text;
        EXPECT_NEAR(paintedTop, filledTop, 1) << text;
        EXPECT_NEAR(paintedBottom, filledBottom, 1) << text;
    }
}
