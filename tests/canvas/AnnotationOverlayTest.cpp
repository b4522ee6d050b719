#include "canvas/AnnotationOverlay.h"
#include "markup/AnnotationRenderer.h"
#include "markup/LabelFont.h"
#include "markup/MarkupGeometry.h"
#include "support/TestFonts.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

MarkupAnnotation make(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end, const QString &text,
                      std::optional<qint64> number = std::nullopt, const QString &color = QStringLiteral("#DC2626"))
{
    MarkupAnnotation a;
    a.id = QUuid::createUuid();
    a.kind = kind;
    a.start = start;
    a.end = end;
    a.text = text;
    a.colorHex = color;
    a.lineWidth = 4;
    a.fontSize = 26;
    a.sequenceNumber = number;
    if (kind == AnnotationKind::Brush) {
        for (int i = 0; i <= 40; ++i)
            a.points.push_back(UnitPoint2D(0.1 + i * 0.01, 0.6 + 0.1 * std::sin(i / 5.0)));
    }
    return a;
}

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

QImage overlayImage(const std::vector<MarkupAnnotation> &annotations, const AnnotationOverlayDecorations &d,
                    QSize size)
{
    QImage image = blank(size);
    QPainter painter(&image);
    AnnotationOverlay::drawAll(painter, annotations, d, QSizeF(size));
    return image;
}

QImage rendererImage(const std::vector<MarkupAnnotation> &annotations, QSize size)
{
    QImage image = blank(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    AnnotationRenderer::drawAnnotations(painter, annotations, QSizeF(size));
    return image;
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

// Pixels that differ by more than `threshold` in some channel, and the largest difference.
std::pair<int, int> compare(const QImage &a, const QImage &b, int threshold)
{
    int count = 0;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const int d = channelDifference(a.pixel(x, y), b.pixel(x, y));
            largest = std::max(largest, d);
            if (d > threshold)
                ++count;
        }
    }
    return {count, largest};
}

bool isInk(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) < 120;
}

std::optional<int> firstInkRow(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isInk(image.pixel(x, y)))
                return y;
    return std::nullopt;
}

} // namespace

TEST(AnnotationOverlay, PaintsShapesAndLabelsLikeTheExport)
{
    const QSize size(640, 420);
    const std::vector<MarkupAnnotation> annotations = {
        make(AnnotationKind::Rectangle, {0.1, 0.1}, {0.5, 0.4}, QStringLiteral("矩形说明"), 1),
        make(AnnotationKind::Brush, {0.1, 0.6}, {0.5, 0.7}, QString()),
        make(AnnotationKind::Text, {0.6, 0.2}, {0.6, 0.2}, QStringLiteral("两行\n文字 label"), 2,
             QStringLiteral("#2563EB")),
    };
    const auto [count, largest] = compare(overlayImage(annotations, {}, size), rendererImage(annotations, size), 48);
    // The same geometry: only antialiasing may differ.
    EXPECT_LT(count, size.width() * size.height() / 500) << "largest difference " << largest;

    // Arrows are drawn on screen along the quadratic arc the hit tests measure (the export bows a
    // little further), but the head, set by the tangent at the end, is the same.
    const MarkupAnnotation arrow = make(AnnotationKind::Arrow, {0.2, 0.8}, {0.8, 0.3}, QString());
    const QImage overlay = overlayImage({arrow}, {}, size);
    const QImage exported = rendererImage({arrow}, size);
    const QPointF s = arrow.start.toPoint(QSizeF(size));
    const QPointF e = arrow.end.toPoint(QSizeF(size));
    const QPointF c = MarkupGeometry::arcControlPoint(s, e, arrow.curveDirection);
    const double theta = MarkupGeometry::quadraticTangentAngle(s, c, e, 1);
    const double sw = MarkupGeometry::strokeWidth(arrow.lineWidth, QSizeF(size));
    for (const double side : {-1.0, 1.0}) {
        const double angle = theta + side * M_PI / 7;
        const QPoint wing = (e - 0.6 * std::max(4.2 * sw, 8.0) * QPointF(std::cos(angle), std::sin(angle))).toPoint();
        EXPECT_TRUE(isInk(overlay.pixel(wing)));
        EXPECT_TRUE(isInk(exported.pixel(wing)));
    }
    const QPointF mid = MarkupGeometry::quadraticPoint(s, c, e, 0.5);
    EXPECT_TRUE(isInk(overlay.pixel(mid.toPoint())));
}

TEST(AnnotationOverlay, EditingHidesTheLabelAndTheCropDimsOnlyWhenVisible)
{
    const QSize size(400, 300);
    MarkupAnnotation text = make(AnnotationKind::Text, {0.3, 0.3}, {0.3, 0.3}, QStringLiteral("标注文字"), 1);
    AnnotationOverlayDecorations editing;
    editing.editingTextID = text.id;
    EXPECT_EQ(AnnotationOverlay::overlayAnnotations({text}, text.id)[0].text, QString());
    EXPECT_FALSE(AnnotationOverlay::overlayAnnotations({text}, text.id)[0].sequenceNumber.has_value());
    // Nothing of the label is drawn while the inline editor stands in its place.
    EXPECT_EQ(compare(overlayImage({text}, editing, size), blank(size), 0).first, 0);
    EXPECT_GT(compare(overlayImage({text}, {}, size), blank(size), 0).first, 100);

    AnnotationOverlayDecorations crop;
    crop.cropRect = QRectF(500, 10, 50, 50); // wholly outside the canvas
    EXPECT_EQ(compare(overlayImage({}, crop, size), blank(size), 0).first, 0);
    crop.cropRect = QRectF(100, 100, 0, 50);
    EXPECT_EQ(compare(overlayImage({}, crop, size), blank(size), 0).first, 0);
    crop.cropRect = QRectF(100, 100, 100, 100);
    const QImage dimmed = overlayImage({}, crop, size);
    EXPECT_EQ(QColor(dimmed.pixel(150, 150)), QColor(Qt::white));   // inside stays clear
    EXPECT_NEAR(qRed(dimmed.pixel(20, 20)), 255 * 0.66, 3);          // outside darkened by 0.34
}

TEST(AnnotationOverlay, LayersGiveTheSamePictureAndOnlyChangedAreasAreDamaged)
{
    const QSize size(500, 360);
    std::vector<MarkupAnnotation> annotations;
    for (int i = 0; i < 6; ++i)
        annotations.push_back(make(i % 2 ? AnnotationKind::Rectangle : AnnotationKind::Arrow,
                                   {0.1 + 0.1 * i, 0.2}, {0.3 + 0.1 * i, 0.6}, i % 2 ? QStringLiteral("标注%1").arg(i) : QString(),
                                   i % 2 ? std::optional<qint64>(i) : std::nullopt));
    AnnotationOverlayDecorations decorations;
    decorations.selectedID = annotations[2].id;

    AnnotationOverlay overlay;
    EXPECT_TRUE(overlay.update(annotations, decorations, QSizeF(size)).everything);
    const QRect whole(QPoint(0, 0), size);
    auto paint = [&] {
        QImage image = blank(size);
        QPainter painter(&image);
        overlay.paint(painter, QPointF(0, 0), whole, whole);
        return image;
    };
    paint();
    EXPECT_FALSE(overlay.lastPaintUsedLayers());

    // Move the selected annotation twice: the second step reuses the layers of the first.
    for (int step = 1; step <= 2; ++step) {
        const Rect before = MarkupGeometry::annotationBounds(annotations[2], QSizeF(size));
        annotations[2].start = annotations[2].start.translated(0.02, 0.01);
        annotations[2].end = annotations[2].end.translated(0.02, 0.01);
        const AnnotationOverlay::Damage damage = overlay.update(annotations, decorations, QSizeF(size));
        EXPECT_FALSE(damage.everything);
        EXPECT_TRUE(damage.area.contains(QPointF(before.midX(), before.midY())));
        EXPECT_FALSE(damage.area.contains(annotations[5].end.toPoint(QSizeF(size))));
        const QImage layered = paint();
        EXPECT_TRUE(overlay.lastPaintUsedLayers());
        EXPECT_EQ(overlay.layerBuildCount(), 1);
        // Glyph edges may be blended a little differently into a transparent layer than onto an
        // opaque picture; shapes are exact.
        const auto [count, largest] = compare(layered, overlayImage(annotations, decorations, size), 40);
        EXPECT_EQ(count, 0) << "largest " << largest;
    }

    // The crop dimming changes everything; nothing changed, nothing damaged.
    decorations.cropRect = QRectF(10, 10, 100, 100);
    EXPECT_TRUE(overlay.update(annotations, decorations, QSizeF(size)).everything);
    EXPECT_TRUE(overlay.update(annotations, decorations, QSizeF(size)).isEmpty());
}

TEST(AnnotationOverlay, LabelsInEveryScriptStandWhereTheExportPutsThem)
{
    // With the project's fonts nothing shapes these scripts: the labels show boxes, which only the
    // painter draws, even where the overlay fills large text as outlines. With the script fonts a
    // fallback face shapes each, with an ascent of its own. Either way the screen shows every
    // label where the saved file has it, small (painted glyphs) and zoomed in (outlines).
    const bool shaped = TestFonts::current() == TestFonts::Set::WithScriptFonts;
    ASSERT_EQ(LabelFont::lineOutline(QRectF(0, 0, 1000, 200), QString::fromUtf8("हिन्दी"), 100).has_value(), shaped)
        << "the run's font set is not the one it names";
    std::vector<MarkupAnnotation> annotations;
    double y = 0.03;
    for (const char *text : {"Label 1", "标注文字", "ತ", "हिन्दी", "தமிழ்", "বাংলা", "ខ្មែរ"}) {
        annotations.push_back(make(AnnotationKind::Text, {0.1, y}, {0.1, y}, QString::fromUtf8(text)));
        y += 0.135;
    }
    const size_t projectScripts = 2; // Latin and Chinese: the project's own fonts shape them
    for (const QSize size : {QSize(400, 300), QSize(3000, 2250)}) {
        const QImage image = overlayImage(annotations, {}, size);
        const QImage exported = rendererImage(annotations, size);
        const auto [count, largest] = compare(image, exported, 48);
        EXPECT_LT(count, size.width() * size.height() / 500) << size.width() << " largest difference " << largest;
        for (size_t i = 0; i < annotations.size(); ++i) {
            const MarkupAnnotation &a = annotations[i];
            const auto layout = MarkupGeometry::labelLayout(a, QSizeF(size));
            ASSERT_TRUE(layout);
            // The text rectangle down to the bubble's border, which descenders may reach.
            const QRect text = QRectF(QPointF(layout->textRect.minX(), layout->textRect.minY()),
                                      QPointF(layout->textRect.maxX(), layout->bubbleRect.maxY() - 2))
                                   .toAlignedRect()
                             & image.rect();
            const std::optional<int> top = firstInkRow(image, text);
            // Boxes are thin outlines (or nothing, for some scripts): only shaped text is sure to ink.
            if (shaped || i < projectScripts) {
                EXPECT_TRUE(top) << size.width() << " " << a.text.toStdString();
            }
            EXPECT_EQ(top, firstInkRow(exported, text)) << size.width() << " " << a.text.toStdString();
        }
    }
}
