#include <gtest/gtest.h>

#include "markup/MarkupTestSupport.h"
#include "model/MarkupViewModel.h"

#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>

namespace {

constexpr QSizeF canvas(200, 100);

// 400 × 200 pixels: the left half red, the right half blue, so a crop shows which part it took.
QImage halvesImage()
{
    QImage image(400, 200, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.fillRect(200, 0, 200, 200, Qt::blue);
    return image;
}

ImageMarkupItem photo(const QString &name)
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = name;
    item.image = ImageHandle(halvesImage());
    item.thumbnail = item.image;
    item.pixelSize = QSizeF(400, 200);
    return item;
}

void expectRect(const std::optional<QRectF> &rect, double x, double y, double w, double h)
{
    ASSERT_TRUE(rect);
    EXPECT_NEAR(rect->x(), x, 1e-9);
    EXPECT_NEAR(rect->y(), y, 1e-9);
    EXPECT_NEAR(rect->width(), w, 1e-9);
    EXPECT_NEAR(rect->height(), h, 1e-9);
}

class Crop : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath("p.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};

    void SetUp() override
    {
        model.setItems({photo("photo.jpg"), photo("other.png")});
        model.selectItem(model.items()[0].id);
    }
};

} // namespace

TEST_F(Crop, DragsFitTheRatioAndStayOnTheCanvas)
{
    // Free: up and to the left ends at the start point.
    const QUuid annotation = QUuid::createUuid();
    model.setSelectedAnnotationID(annotation);
    model.setSelectionRect(QRectF(0, 0, 5, 5));
    model.updateCropRect({100, 80}, {40, 20}, canvas);
    expectRect(model.cropRect(), 40, 20, 60, 60);
    EXPECT_FALSE(model.selectedAnnotationID());
    EXPECT_FALSE(model.selectionRect());

    model.setCropAspectRatio(CropAspectRatio::Square);
    model.updateCropRect({10, 10}, {110, 50}, canvas);
    expectRect(model.cropRect(), 10, 10, 40, 40);
    model.updateCropRect({10, 10}, {50, 110}, canvas); // ends below the canvas: still 40 × 40
    expectRect(model.cropRect(), 10, 10, 40, 40);
    model.updateCropRect({150, 90}, {50, 50}, canvas); // grows up and left from the start
    expectRect(model.cropRect(), 110, 50, 40, 40);
    // A flat drag compares the ratio with the width itself and takes the real height.
    model.updateCropRect({10, 10}, {60, 10.5}, canvas);
    expectRect(model.cropRect(), 10, 10, 0.5, 0.5);
    model.updateCropRect({30, 30}, {30, 30}, canvas);
    expectRect(model.cropRect(), 30, 30, 0, 0);

    // Wide: 16:9 clipped by the canvas's right edge.
    model.setCropAspectRatio(CropAspectRatio::Wide);
    model.updateCropRect({180, 0}, {260, 90}, canvas);
    expectRect(model.cropRect(), 180, 0, 20, 45);

    // Original needs the image's own ratio (2:1).
    model.setCropAspectRatio(CropAspectRatio::Original);
    model.updateCropRect({0, 0}, {100, 100}, canvas);
    expectRect(model.cropRect(), 0, 0, 100, 50);

    model.updateCropRect({300, 300}, {400, 400}, canvas);
    EXPECT_FALSE(model.cropRect()) << "wholly outside the canvas";
    model.setCropRect(QRectF(1, 1, 5, 5));
    model.updateCropRect({0, 0}, {10, 10}, QSizeF(0, 100));
    EXPECT_FALSE(model.cropRect());
}

TEST_F(Crop, ResizingAndChangingTheRatio)
{
    model.updateCropRect({20, 20}, {60, 60}, canvas);
    model.resizeCropRect(CropCorner::TopLeft, {10, 30}, canvas);
    expectRect(model.cropRect(), 10, 30, 50, 30);
    model.resizeCropRect(CropCorner::BottomRight, {80, 90}, canvas);
    expectRect(model.cropRect(), 10, 30, 70, 60);

    // Free leaves the rectangle; square reshapes it about its centre, kept inside the canvas.
    model.setCropAspectRatio(CropAspectRatio::Free, canvas);
    expectRect(model.cropRect(), 10, 30, 70, 60);
    EXPECT_EQ(model.statusMessage(), "裁剪比例：自由");
    model.setCropRect(QRectF(150, 10, 50, 80));
    model.setCropAspectRatio(CropAspectRatio::Square, canvas);
    expectRect(model.cropRect(), 150, 25, 50, 50);
    EXPECT_EQ(model.statusMessage(), "裁剪比例：1:1");
    model.setCropRect(QRectF(0, 0, 200, 100));
    model.setCropAspectRatio(CropAspectRatio::Wide, canvas);
    expectRect(model.cropRect(), 100 - 800.0 / 9, 0, 1600.0 / 9, 100);

    // Original covers the whole canvas, also without a rectangle.
    model.cancelCrop();
    EXPECT_EQ(model.statusMessage(), "已取消裁剪");
    EXPECT_FALSE(model.cropRect());
    model.setCropAspectRatio(CropAspectRatio::Original, canvas);
    expectRect(model.cropRect(), 0, 0, 200, 100);
    EXPECT_EQ(model.statusMessage(), "裁剪比例：原图");
    EXPECT_EQ(model.cropAspectRatio(), CropAspectRatio::Original);
}

TEST_F(Crop, ConfirmMakesANewImageFromTheHeldPixels)
{
    auto items = model.items();
    MarkupAnnotation vertical = makeAnnotation(AnnotationKind::Arrow, {0.75, 0.1}, {0.75, 0.9}, "竖线");
    MarkupAnnotation outside = makeAnnotation(AnnotationKind::Arrow, {0.05, 0.05}, {0.2, 0.2}, "外面");
    MarkupAnnotation labelInside = makeAnnotation(AnnotationKind::Arrow, {0.05, 0.6}, {0.2, 0.9}, "标签");
    labelInside.labelPosition = UnitPoint2D(0.6, 0.25);
    MarkupAnnotation stroke = makeAnnotation(AnnotationKind::Brush, {0.55, 0.1}, {0.6, 0.2});
    stroke.points = {{0.55, 0.1}, {0.58, 0.15}, {0.6, 0.2}};
    items[0].annotations = {outside, vertical, labelInside, stroke};
    model.setItems(items);
    model.setColorSamplePreview(ColorSamplePreview{});
    model.setColorSampleLocked(true);

    // The right half's top half: canvas (100, 0, 100, 50) is pixels (200, 0, 200, 100).
    model.setCropRect(QRectF(100, 0, 100, 50));
    ASSERT_TRUE(model.confirmCrop(canvas));
    ASSERT_EQ(model.items().size(), 3u);
    const ImageMarkupItem &made = model.items()[1];
    EXPECT_EQ(made.fileName, "photo-裁剪.png");
    EXPECT_EQ(model.selectedItemID(), made.id);
    EXPECT_EQ(model.statusMessage(), "已新建裁剪图片：photo-裁剪.png");
    EXPECT_FALSE(model.cropRect());
    EXPECT_FALSE(model.isColorSampleLocked());
    EXPECT_EQ(made.pixelSize, QSizeF(200, 100));
    EXPECT_EQ(made.image.image().pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(made.image.image().pixelColor(199, 99), QColor(Qt::blue));
    EXPECT_FALSE(made.thumbnail.isNull());
    EXPECT_FALSE(made.sourceURL);
    EXPECT_FALSE(made.savedURL);
    EXPECT_EQ(model.items()[0].annotations.size(), 4u) << "the source image is untouched";

    // Kept: the vertical arrow (a box without width), the stroke, the arrow whose label lies inside.
    ASSERT_EQ(made.annotations.size(), 3u);
    const MarkupAnnotation &arrow = made.annotations[0];
    EXPECT_EQ(arrow.id, vertical.id);
    EXPECT_NEAR(arrow.start.x, 0.5, 1e-12);
    EXPECT_NEAR(arrow.start.y, 0.2, 1e-12);
    EXPECT_EQ(arrow.end.y, 1.0) << "the outer end is clamped onto the edge";
    EXPECT_EQ(arrow.sequenceNumber, 1);
    EXPECT_EQ(made.annotations[1].id, labelInside.id);
    EXPECT_NEAR(made.annotations[1].labelPosition->x, 0.2, 1e-12);
    EXPECT_NEAR(made.annotations[1].labelPosition->y, 0.5, 1e-12);
    EXPECT_EQ(made.annotations[1].end.x, 0.0);
    EXPECT_EQ(made.annotations[1].sequenceNumber, 2);
    EXPECT_NEAR(made.annotations[2].points[1].x, 0.16, 1e-12);
    EXPECT_FALSE(made.annotations[2].sequenceNumber);

    // A second crop of the same source is numbered; the extension is always png.
    model.selectItem(model.items()[0].id);
    model.setCropRect(QRectF(0, 0, 50, 50));
    ASSERT_TRUE(model.confirmCrop(canvas));
    EXPECT_EQ(model.items()[1].fileName, "photo-裁剪-2.png");
    EXPECT_EQ(model.items()[1].image.image().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(Crop, NamesAreSafeAndBlankNamesGetTheDefault)
{
    auto items = model.items();
    items[0].fileName = QStringLiteral("   ");
    items[1].fileName = QStringLiteral("../../etc/x.png");
    model.setItems(items);
    model.setCropRect(QRectF(0, 0, 50, 50));
    ASSERT_TRUE(model.confirmCrop(canvas));
    EXPECT_EQ(model.items()[1].fileName, "标注图片-裁剪.png");

    model.selectItem(model.items()[2].id);
    model.setCropRect(QRectF(0, 0, 50, 50));
    ASSERT_TRUE(model.confirmCrop(canvas));
    EXPECT_EQ(model.items()[3].fileName, ".._.._etc_x-裁剪.png");

    // A very long name is cut so the whole name fits in 255 bytes.
    items = model.items();
    items[0].fileName = QString(200, QChar(0x56FE)) + QStringLiteral(".png");
    model.setItems(items);
    model.selectItem(items[0].id);
    model.setCropRect(QRectF(0, 0, 50, 50));
    ASSERT_TRUE(model.confirmCrop(canvas));
    const QString longName = model.items()[1].fileName;
    EXPECT_LE(longName.toUtf8().size(), 255);
    EXPECT_TRUE(longName.endsWith("-裁剪.png"));
}

TEST_F(Crop, TooSmallOrMissingRectanglesAreRefused)
{
    EXPECT_FALSE(model.confirmCrop(canvas));
    EXPECT_EQ(model.statusMessage(), "请先拖出裁剪区域");
    EXPECT_FALSE(model.errorMessage());

    model.setCropRect(QRectF(10, 10, 7, 20));
    EXPECT_FALSE(model.confirmCrop(canvas));
    EXPECT_EQ(model.errorMessage(), "裁剪区域太小或图片无法裁剪");
    EXPECT_TRUE(model.cropRect()) << "the rectangle is kept";
    EXPECT_EQ(model.items().size(), 2u);

    // 7 points wide but straddling whole points: 8 once rounded outward.
    model.setErrorMessage(std::nullopt);
    model.setCropRect(QRectF(10.5, 10, 7, 20));
    EXPECT_TRUE(model.confirmCrop(canvas));
    EXPECT_EQ(model.items()[1].pixelSize, QSizeF(16, 40));

    // An image without pixels cannot be cropped.
    auto items = model.items();
    items[0].image = ImageHandle();
    model.setItems(items);
    model.selectItem(items[0].id);
    model.setCropRect(QRectF(0, 0, 50, 50));
    EXPECT_FALSE(model.confirmCrop(canvas));
    EXPECT_EQ(model.errorMessage(), "裁剪区域太小或图片无法裁剪");
}
