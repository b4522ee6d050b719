#include "canvas/CanvasFramePainting.h"
#include "canvas/CanvasFrameSource.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// A frame source holding a frame and, optionally, a scaled copy of it; records the box it was told.
class ScaledCopySource final : public CanvasFrameSource {
public:
    QImage frame;
    QImage preview;
    QSize box;

    QImage currentFrame() const override { return frame; }
    QImage currentPreview() const override { return preview; }
    void setDisplaySize(QSize size) override { box = size; }
};

QImage painted(ScaledCopySource &source, const QRectF &card)
{
    QImage target(200, 120, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    QPainter painter(&target);
    CanvasFramePainting::paint(painter, source, source.frame, card, 1.0);
    painter.end();
    return target;
}

TEST(CanvasFramePainting, ACopyOfTheShownSizeIsDrawnPixelForPixelElseTheFrameIsScaled)
{
    ScaledCopySource source;
    source.frame = QImage(400, 200, QImage::Format_ARGB32);
    source.frame.fill(qRgb(200, 0, 0));
    // The copy differs from the frame on purpose, so the test sees which one was drawn.
    source.preview = QImage(100, 50, QImage::Format_ARGB32_Premultiplied);
    source.preview.fill(qRgb(0, 0, 200));
    source.preview.setPixel(0, 0, qRgb(0, 200, 0));
    // A 100 × 60 card: the 2:1 frame is shown 100 × 50, letterboxed 5 pixels from the top.
    const QRectF card(20.4, 10.2, 100, 60);

    const QImage withCopy = painted(source, card);
    EXPECT_EQ(source.box, QSize(100, 60));
    EXPECT_EQ(withCopy.pixel(20, 15), qRgb(0, 200, 0)); // placed on whole pixels, unscaled
    EXPECT_EQ(withCopy.pixel(119, 64), qRgb(0, 0, 200));
    EXPECT_EQ(withCopy.pixel(70, 12), qRgb(255, 255, 255)); // the letterbox is left alone
    EXPECT_EQ(withCopy.pixel(70, 66), qRgb(255, 255, 255));

    // A copy of another size (the card was resized since) is not used: the frame is scaled here.
    const QImage withoutCopy = painted(source, QRectF(20, 10, 160, 100));
    EXPECT_EQ(source.box, QSize(160, 100));
    EXPECT_EQ(withoutCopy.pixel(100, 60), qRgb(200, 0, 0));
    source.preview = QImage();
    EXPECT_EQ(painted(source, card).pixel(70, 40), qRgb(200, 0, 0));
}

} // namespace
