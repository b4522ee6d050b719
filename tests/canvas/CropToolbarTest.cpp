#include "PanelsFixture.h"
#include "PanelsTestInput.h"

#include "canvas/CropToolbar.h"
#include "model/AppTheme.h"

TEST_F(PanelsFixture, CropToolbarRatiosCancelAndConfirm)
{
    addImages(1);
    const QSizeF canvas(800, 600);
    CropToolbar toolbar(model);
    int ended = 0;
    QObject::connect(&toolbar, &CropToolbar::cropEnded, [&] { ++ended; });
    model.setCropRect(QRectF(100, 100, 400, 300));
    toolbar.sync(*model.cropRect(), canvas);
    EXPECT_EQ(toolbar.ratioButton(CropAspectRatio::Free)->look().background, AppTheme::navy());

    PanelsTestInput::mouseClick(toolbar.ratioButton(CropAspectRatio::Wide));
    EXPECT_EQ(model.cropAspectRatio(), CropAspectRatio::Wide);
    EXPECT_EQ(model.statusMessage(), "裁剪比例：16:9");
    EXPECT_EQ(toolbar.ratioButton(CropAspectRatio::Wide)->look().background, AppTheme::navy());
    EXPECT_EQ(toolbar.ratioButton(CropAspectRatio::Wide)->look().foreground, QColor(Qt::white));
    EXPECT_EQ(toolbar.ratioButton(CropAspectRatio::Free)->look().background, AppTheme::paleGray());
    EXPECT_NEAR(model.cropRect()->width() / model.cropRect()->height(), 16.0 / 9, 0.01);
    PanelsTestInput::mouseClick(toolbar.ratioButton(CropAspectRatio::Original));
    EXPECT_EQ(*model.cropRect(), QRectF(0, 0, 800, 600));
    EXPECT_EQ(ended, 0);

    // Too small: the rectangle and the crop mode stay, the view model says why.
    model.setCropAspectRatio(CropAspectRatio::Free, std::nullopt);
    model.setCropRect(QRectF(10, 10, 7, 7));
    toolbar.sync(*model.cropRect(), canvas);
    PanelsTestInput::mouseClick(toolbar.confirmButton());
    EXPECT_EQ(model.errorMessage(), QStringLiteral("裁剪区域太小或图片无法裁剪"));
    EXPECT_TRUE(model.cropRect());
    EXPECT_EQ(ended, 0);

    model.setCropRect(QRectF(100, 100, 200, 100));
    PanelsTestInput::mouseClick(toolbar.confirmButton());
    EXPECT_EQ(model.items().size(), 2u);
    EXPECT_FALSE(model.cropRect());
    EXPECT_EQ(ended, 1);

    model.setCropRect(QRectF(100, 100, 200, 100));
    PanelsTestInput::mouseClick(toolbar.cancelButton());
    EXPECT_FALSE(model.cropRect());
    EXPECT_EQ(model.statusMessage(), "已取消裁剪");
    EXPECT_EQ(ended, 2);
}
