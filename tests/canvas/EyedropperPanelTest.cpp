#include "PanelsFixture.h"

#include "canvas/EyedropperPanel.h"
#include "platform/Pasteboard.h"

#include "PanelsTestInput.h"

namespace {

using PanelsTestInput::mouseClick;
void click(QWidget *w) { mouseClick(w); }

class RecordingPasteboard final : public Pasteboard {
public:
    QStringList written;
    void setText(const QString &text) override { written << text; }
};

class Eyedropper : public PanelsFixture {
protected:
    RecordingPasteboard pasteboard;
    void SetUp() override { Pasteboard::install(&pasteboard); }
    void TearDown() override { Pasteboard::install(nullptr); }
};

} // namespace

TEST_F(Eyedropper, CopiesLandOnThePasteboardWithTheirStatus)
{
    EyedropperPanel panel(model);
    ColorSamplePreview preview{SampledImageColor(220, 38, 38, 255), QPointF(100, 100), QPointF(200, 200)};
    panel.sync(preview, false, {1000, 800});
    EXPECT_EQ(panel.canvasRect(), QRectF(118, 118, 228, 146));
    EXPECT_EQ(panel.hintText(), "左键取色，设为标注色");

    click(panel.copyButton(0));
    click(panel.copyButton(1));
    click(panel.copyButton(2));
    EXPECT_EQ(pasteboard.written, QStringList({"#DC2626", "RGB: 220, 38, 38", "CMYK: 0, 83, 83, 14"}));
    EXPECT_EQ(model.statusMessage(), "已复制 CMYK：CMYK: 0, 83, 83, 14");
    click(panel.copyButton(1));
    EXPECT_EQ(model.statusMessage(), "已复制 RGB：RGB: 220, 38, 38");
    EXPECT_EQ(panel.copyButton(0)->toolTip(), "复制 HEX 色值");
    EXPECT_EQ(panel.copyButton(2)->accessibleName(), "复制 CMYK");
}

TEST_F(Eyedropper, TranslucentColourShowsAlphaAndTheLockedHint)
{
    EyedropperPanel panel(model);
    panel.sync({SampledImageColor(1, 2, 3, 128), QPointF(10, 10), QPointF()}, true, {1000, 800});
    EXPECT_EQ(panel.canvasRect().height(), 164);
    EXPECT_EQ(panel.hintText(), "已取色，点击下方复制");
    EXPECT_EQ(panel.color().alphaPercentText(), "50%");
    // The buttons stay inside the taller panel.
    EXPECT_LE(panel.copyButton(0)->geometry().bottom(), 164);
}
