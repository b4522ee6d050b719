#include <gtest/gtest.h>

#include "model/ColorSample.h"
#include "model/MarkupTools.h"
#include "model/MarkupViewModelTypes.h"

#include <QJsonDocument>

TEST(MarkupTools, RawValuesAreExactAndOrdered)
{
    EXPECT_EQ(RawValue::parse<MarkupTool>("arrow"), MarkupTool::Arrow);
    EXPECT_FALSE(RawValue::parse<MarkupTool>("Arrow").has_value());
    EXPECT_EQ(RawValue::of(MarkupTool::Eyedropper), QStringLiteral("eyedropper"));
    EXPECT_EQ(MarkupTools::defaultOrder().front(), MarkupTool::Select);
    EXPECT_EQ(MarkupTools::defaultOrder().size(), 7u);
    EXPECT_FALSE(RawValue::parse<ImageExportFormat>("jpg").has_value());
    EXPECT_FALSE(RawValue::parse<CropAspectRatio>("Free").has_value());
    EXPECT_EQ(CropAspectRatios::title(CropAspectRatio::Wide), QStringLiteral("16:9"));
}

TEST(HeaderToolbarItems, TextsAndDefaultOrders)
{
    using Item = HeaderToolbarItem;
    EXPECT_EQ(HeaderToolbarItems::title(Item::BatchAddComparison), QStringLiteral("批量添加"));
    EXPECT_EQ(HeaderToolbarItems::systemImage(Item::AddToComparison),
              HeaderToolbarItems::systemImage(Item::AddComparison));
    EXPECT_EQ(HeaderToolbarItems::helpText(Item::ImageCanvas), QStringLiteral("适合窗口、100% 显示或把画布重新居中"));
    EXPECT_EQ(HeaderToolbarItems::defaultOrder(HeaderToolbarMode::ImageComparison).front(), Item::Zoom);
    EXPECT_EQ(HeaderToolbarItems::defaultOrder(HeaderToolbarMode::TextComparison),
              (std::vector<Item>{Item::OpenProject, Item::SaveProject}));
    for (const HeaderToolbarMode mode : RawValue::allCases<HeaderToolbarMode>()) {
        const auto order = HeaderToolbarItems::defaultOrder(mode);
        EXPECT_EQ(std::count(order.begin(), order.end(), Item::ImageCanvas), 0);
    }
}

TEST(PointerInteractionSettings, JsonNeedsAllFiveKnownValues)
{
    const QJsonObject json{{"mouseWheelAction", "pan"},
                           {"trackpadScrollAction", "zoom"},
                           {"middleMouseDragAction", "none"},
                           {"sideButton1Action", "fitCanvas"},
                           {"sideButton2Action", "deleteSelection"}};
    const PointerInteractionSettings read = PointerInteractionSettings::fromJson(json);
    EXPECT_EQ(read.mouseWheelAction, CanvasScrollAction::Pan);
    EXPECT_EQ(read.sideButton2Action, CanvasMouseButtonAction::DeleteSelection);
    EXPECT_EQ(read.toJson(), json);

    QJsonObject missing = json;
    missing.remove("sideButton2Action");
    EXPECT_THROW(PointerInteractionSettings::fromJson(missing), Json::DecodeError);
    QJsonObject unknown = json;
    unknown.insert("middleMouseDragAction", "zoom");
    EXPECT_THROW(PointerInteractionSettings::fromJson(unknown), Json::DecodeError);
}

TEST(StylePreset, LabelWidthIsOptional)
{
    const StylePreset preset;
    EXPECT_FALSE(preset.toJson().contains("labelWidth"));
    EXPECT_THROW(StylePreset::fromJson(QJsonObject{{"colorHex", "#000000"}, {"lineWidth", 3}}), Json::DecodeError);
    StylePreset withWidth;
    withWidth.labelWidth = 140;
    EXPECT_EQ(StylePreset::fromJson(withWidth.toJson()), withWidth);
}

TEST(SampledImageColor, ClampsAndFormats)
{
    EXPECT_EQ(SampledImageColor(-5, 300, 12, 999), SampledImageColor(0, 255, 12, 255));
    const SampledImageColor red(220, 38, 38, 255);
    EXPECT_EQ(red.hex(), QStringLiteral("#DC2626"));
    EXPECT_EQ(red.rgbCopyText(), QStringLiteral("RGB: 220, 38, 38"));
    EXPECT_EQ(red.cmykCopyText(), QStringLiteral("CMYK: 0, 83, 83, 14"));
    EXPECT_EQ(SampledImageColor(10, 11, 171, 0).hex(), QStringLiteral("#0A0BAB"));
}

TEST(SampledImageColor, CmykAndAlphaRounding)
{
    using Cmyk = SampledImageColor::Cmyk;
    EXPECT_EQ(SampledImageColor(255, 0, 0, 255).cmyk(), (Cmyk{0, 100, 100, 0}));
    EXPECT_EQ(SampledImageColor(0, 0, 0, 255).cmyk(), (Cmyk{0, 0, 0, 100}));
    EXPECT_EQ(SampledImageColor(255, 255, 255, 255).cmyk(), (Cmyk{0, 0, 0, 0}));
    EXPECT_EQ(SampledImageColor(128, 128, 128, 255).cmyk(), (Cmyk{0, 0, 0, 50}));
    EXPECT_EQ(SampledImageColor(0, 0, 1, 255).cmyk(), (Cmyk{100, 100, 0, 100}));
    EXPECT_EQ(SampledImageColor(0, 0, 0, 127).alphaPercentText(), QStringLiteral("50%"));
    EXPECT_EQ(SampledImageColor(0, 0, 0, 128).alphaPercentText(), QStringLiteral("50%"));
    EXPECT_EQ(SampledImageColor(0, 0, 0, 1).alphaPercentText(), QStringLiteral("0%"));
    EXPECT_EQ(SampledImageColor(0, 0, 0, 254).alphaPercentText(), QStringLiteral("100%"));
}
