#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"

#include <QSettings>
#include <QTemporaryDir>

namespace {

const char *toolKey = "kivo.imageMarkup.toolOrder.v1";
const char *headerKey = "kivo.headerToolbar.order.v1";
const char *presetKey = "kivo.imageMarkup.stylePreset.v1";
const char *pointerKey = "kivo.imageMarkup.pointerInteraction.v1";

struct Preferences : ::testing::Test {
    QTemporaryDir dir;
    QString path() const { return dir.filePath("prefs.ini"); }
    QSettings settings{path(), QSettings::IniFormat};
};

using Tool = MarkupTool;
using Item = HeaderToolbarItem;
using Mode = HeaderToolbarMode;

} // namespace

TEST_F(Preferences, ToolOrderNormalisation)
{
    settings.setValue(toolKey, QByteArray(R"(["brush","brush","laser","select"])"));
    EXPECT_EQ(MarkupViewModel::loadToolOrder(settings),
              (std::vector<Tool>{Tool::Brush, Tool::Select, Tool::Crop, Tool::Eyedropper, Tool::Arrow, Tool::Text,
                                 Tool::Rectangle}));
    for (const char *stored : {R"(["laser"])", "[]", R"(["arrow", 3])", R"({"a":"arrow"})", "not json", R"("arrow")"}) {
        settings.setValue(toolKey, QByteArray(stored));
        EXPECT_EQ(MarkupViewModel::loadToolOrder(settings), MarkupTools::defaultOrder()) << stored;
    }
    // One-element list survives (the reason orders are stored as JSON text).
    settings.setValue(toolKey, QByteArray(R"(["text"])"));
    EXPECT_EQ(MarkupViewModel::loadToolOrder(settings).front(), Tool::Text);
}

TEST_F(Preferences, HeaderOrderNormalisation)
{
    settings.setValue(headerKey, QByteArray(R"({"imageMarkup":["imageExport","imageCanvas","zoom","openProject"],
                                              "textComparison":["saveProject"], "other":["x"]})"));
    const auto orders = MarkupViewModel::loadHeaderToolbarOrders(settings);
    EXPECT_EQ(orders.at(Mode::ImageMarkup), (std::vector<Item>{Item::ImageExport, Item::Zoom, Item::ImportImage,
                                                              Item::AddToComparison, Item::ImageAnnotation}));
    EXPECT_EQ(orders.at(Mode::TextComparison), (std::vector<Item>{Item::SaveProject, Item::OpenProject}));
    EXPECT_EQ(orders.at(Mode::ImageComparison), HeaderToolbarItems::defaultOrder(Mode::ImageComparison));

    // One value that is not a list of texts resets every mode.
    settings.setValue(headerKey, QByteArray(R"({"imageMarkup":["imageExport"],"textComparison":"saveProject"})"));
    const auto reset = MarkupViewModel::loadHeaderToolbarOrders(settings);
    EXPECT_EQ(reset.at(Mode::ImageMarkup), HeaderToolbarItems::defaultOrder(Mode::ImageMarkup));
    EXPECT_EQ(reset.at(Mode::TextComparison), HeaderToolbarItems::defaultOrder(Mode::TextComparison));
}

TEST_F(Preferences, StylePresetAndPointerFallbacks)
{
    // Without a stored preset a new model draws with the default preset, not its own initial width.
    EXPECT_EQ(MarkupViewModel(settings).arrowLineWidth(), StylePreset().lineWidth);

    settings.setValue(presetKey, QByteArray(R"({"colorHex":"bogus","lineWidth":20,"fontSize":3,"labelWidth":-4})"));
    const StylePreset clamped = MarkupViewModel::loadStylePreset(settings);
    EXPECT_EQ(clamped.lineWidth, 8);
    EXPECT_EQ(clamped.fontSize, 8);
    EXPECT_EQ(clamped.colorHex, QStringLiteral("bogus"));
    EXPECT_EQ(clamped.labelWidth, -4);

    settings.setValue(presetKey, QByteArray(R"({"colorHex":"#000000","lineWidth":6})"));
    EXPECT_EQ(MarkupViewModel::loadStylePreset(settings), StylePreset());

    settings.setValue(presetKey, QByteArray(R"({"colorHex":"#000000","lineWidth":6,"fontSize":30})"));
    MarkupViewModel model(settings);
    EXPECT_EQ(model.arrowLineWidth(), 6);

    settings.setValue(pointerKey, QByteArray(R"({"mouseWheelAction":"pan"})"));
    EXPECT_EQ(MarkupViewModel::loadPointerInteractionSettings(settings), PointerInteractionSettings());
}

TEST_F(Preferences, MovingToolsAndButtons)
{
    MarkupViewModel model(settings);
    model.moveTool(Tool::Select, Tool::Brush);
    EXPECT_EQ(model.toolOrder(), (std::vector<Tool>{Tool::Crop, Tool::Eyedropper, Tool::Arrow, Tool::Text,
                                                    Tool::Rectangle, Tool::Select, Tool::Brush}));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已调整工具顺序"));
    EXPECT_EQ(model.shortcutKey(Tool::Crop), QStringLiteral("1"));
    EXPECT_EQ(model.shortcutKey(Tool::Select), QStringLiteral("6"));

    model.setStatusMessage("x");
    model.moveTool(Tool::Brush, 1); // past the end
    model.moveTool(Tool::Brush, 0);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("x"));
    model.moveTool(Tool::Brush, -1);
    EXPECT_EQ(model.toolOrder().back(), Tool::Select);

    // [zoom, addComparison, batchAddComparison]: moving the last onto the first.
    model.moveHeaderToolbarItem(Item::BatchAddComparison, Item::Zoom, Mode::ImageComparison);
    EXPECT_EQ(model.headerToolbarOrder(Mode::ImageComparison),
              (std::vector<Item>{Item::BatchAddComparison, Item::Zoom, Item::AddComparison}));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已调整顶部按钮顺序"));
    model.setStatusMessage("x");
    model.moveHeaderToolbarItem(Item::Zoom, Item::Zoom, Mode::ImageComparison);
    model.moveHeaderToolbarItem(Item::Zoom, Item::OpenProject, Mode::ImageComparison);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("x"));
    model.resetHeaderToolbarOrder(Mode::ImageComparison);
    EXPECT_EQ(model.headerToolbarOrder(Mode::ImageComparison), HeaderToolbarItems::defaultOrder(Mode::ImageComparison));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已恢复顶部按钮默认顺序"));
}

TEST_F(Preferences, PersistAcrossViewModelsOverOneFile)
{
    MarkupViewModel first(settings);
    MarkupViewModel second(settings);
    first.moveTool(Tool::Brush, Tool::Select);
    first.moveHeaderToolbarItem(Item::SaveProject, Item::OpenProject, Mode::TextComparison);
    PointerInteractionSettings pointer;
    pointer.sideButton1Action = CanvasMouseButtonAction::FitCanvas;
    first.setPointerInteractionSettings(pointer);
    first.savePointerInteractionSettings();
    StylePreset preset;
    preset.colorHex = "#123456";
    preset.lineWidth = 5;
    preset.labelWidth = 150;
    first.setStylePreset(preset);
    first.saveStylePreset();

    // Read once at construction: the other instance keeps what it read.
    EXPECT_EQ(second.toolOrder(), MarkupTools::defaultOrder());

    // A third instance over a separate QSettings on the same file sees every change.
    QSettings reopened(path(), QSettings::IniFormat);
    MarkupViewModel third(reopened);
    EXPECT_EQ(third.toolOrder().front(), Tool::Brush);
    EXPECT_EQ(third.headerToolbarOrder(Mode::TextComparison), (std::vector<Item>{Item::SaveProject, Item::OpenProject}));
    EXPECT_EQ(third.pointerInteractionSettings(), pointer);
    EXPECT_EQ(third.stylePreset(), preset);
    EXPECT_EQ(third.arrowLineWidth(), 5);

    third.resetToolOrder();
    third.resetPointerInteractionSettings();
    EXPECT_EQ(third.statusMessage(), QStringLiteral("已恢复默认鼠标/触控板设置"));
    MarkupViewModel fourth(reopened);
    EXPECT_EQ(fourth.toolOrder(), MarkupTools::defaultOrder());
    EXPECT_EQ(fourth.pointerInteractionSettings(), PointerInteractionSettings());
}

TEST_F(Preferences, UnencodablePresetLeavesTheStoredOne)
{
    MarkupViewModel model(settings);
    StylePreset good;
    good.lineWidth = 3;
    model.setStylePreset(good);
    model.saveStylePreset();
    StylePreset bad = good;
    bad.fontSize = std::nan("");
    model.setStylePreset(bad);
    model.saveStylePreset();
    EXPECT_EQ(MarkupViewModel::loadStylePreset(settings), good);
}
