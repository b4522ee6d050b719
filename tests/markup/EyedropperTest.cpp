#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"

#include <QSettings>
#include <QTemporaryDir>

namespace {

// 4 × 2 pixels, each column its own colour; the last column is half-transparent green.
QImage columnsImage()
{
    QImage image(4, 2, QImage::Format_ARGB32);
    const QColor columns[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(10, 20, 30), QColor(0, 255, 0, 128)};
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            image.setPixelColor(x, y, columns[x]);
    return image;
}

class Eyedropper : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath("p.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};
    const QSizeF canvas{400, 200};

    void SetUp() override
    {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = "c.png";
        item.image = ImageHandle(columnsImage());
        item.pixelSize = QSizeF(4, 2);
        model.setItems({item});
        model.selectItem(item.id);
    }
};

} // namespace

TEST_F(Eyedropper, SamplesThePixelUnderThePoint)
{
    const auto first = model.colorSample({99.9, 0}, canvas);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->color, SampledImageColor(255, 0, 0, 255));
    EXPECT_EQ(first->pixelPoint, QPointF(0, 0));
    EXPECT_EQ(first->canvasPoint, QPointF(99.9, 0));
    EXPECT_EQ(model.colorSample({100, 0}, canvas)->pixelPoint, QPointF(1, 0));

    // The right and bottom edges sample the last column and row, not one beyond.
    const auto edge = model.colorSample({400, 200}, canvas);
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->pixelPoint, QPointF(3, 1));
    EXPECT_EQ(edge->color, SampledImageColor(0, 255, 0, 128)) << "straight, not premultiplied";
    // Points outside the canvas sample the nearest edge pixel.
    EXPECT_EQ(model.colorSample({-50, 900}, canvas)->pixelPoint, QPointF(0, 1));

    EXPECT_FALSE(model.colorSample({qQNaN(), 0}, canvas));
    EXPECT_FALSE(model.colorSample({10, 10}, QSizeF(0, 200)));
    model.setSelectedItemID(std::nullopt);
    EXPECT_FALSE(model.colorSample({10, 10}, canvas));
}

TEST_F(Eyedropper, PickLocksTheSampleAndSetsTheStyleColour)
{
    model.setSelectedTool(MarkupTool::Eyedropper);
    model.updateColorSamplePreview({250, 10}, canvas);
    ASSERT_TRUE(model.colorSamplePreview());
    EXPECT_EQ(model.colorSamplePreview()->color, SampledImageColor(10, 20, 30, 255));
    EXPECT_FALSE(model.isColorSampleLocked());

    model.sampleColor({399, 10}, canvas);
    EXPECT_TRUE(model.isColorSampleLocked());
    EXPECT_EQ(model.stylePreset().colorHex, "#00FF00");
    EXPECT_EQ(model.statusMessage(), "已取色 #00FF00，点击 HEX、RGB 或 CMYK 可复制");
    // The pick survives in the preferences.
    EXPECT_EQ(MarkupViewModel::loadStylePreset(settings).colorHex, "#00FF00");

    // Locked: moving the pointer changes nothing; a second pick replaces the first.
    model.updateColorSamplePreview({10, 10}, canvas);
    EXPECT_EQ(model.colorSamplePreview()->pixelPoint, QPointF(3, 0));
    model.sampleColor({10, 10}, canvas);
    EXPECT_EQ(model.colorSamplePreview()->pixelPoint, QPointF(0, 0));
    EXPECT_EQ(model.stylePreset().colorHex, "#FF0000");
    EXPECT_TRUE(model.isColorSampleLocked());

    // A failed pick clears and unlocks.
    model.sampleColor({10, 10}, QSizeF());
    EXPECT_EQ(model.statusMessage(), "当前图片无法取色");
    EXPECT_FALSE(model.colorSamplePreview());
    EXPECT_FALSE(model.isColorSampleLocked());

    // Another tool: pointer movement shows nothing.
    model.setSelectedTool(MarkupTool::Arrow);
    model.updateColorSamplePreview({10, 10}, canvas);
    EXPECT_FALSE(model.colorSamplePreview());
}
