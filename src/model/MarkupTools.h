#pragma once

#include "model/JsonSupport.h"
#include "model/RawValue.h"

#include <QString>

#include <vector>

// What the user chooses in the image markup workspace and the window header: the canvas tools,
// the header layouts with their buttons, and the pointer bindings of the canvas. Raw values are
// the stored keys of the preferences.

enum class MarkupTool { Select, Crop, Eyedropper, Arrow, Text, Rectangle, Brush };

template<>
struct RawValueTable<MarkupTool> {
    static constexpr std::array<std::pair<MarkupTool, const char *>, 7> entries{{
        {MarkupTool::Select, "select"},
        {MarkupTool::Crop, "crop"},
        {MarkupTool::Eyedropper, "eyedropper"},
        {MarkupTool::Arrow, "arrow"},
        {MarkupTool::Text, "text"},
        {MarkupTool::Rectangle, "rectangle"},
        {MarkupTool::Brush, "brush"},
    }};
};

namespace MarkupTools {
// All seven tools in declared order: the default tool order.
std::vector<MarkupTool> defaultOrder();
} // namespace MarkupTools

enum class HeaderToolbarMode { ImageMarkup, ImageComparison, TextComparison };

template<>
struct RawValueTable<HeaderToolbarMode> {
    static constexpr std::array<std::pair<HeaderToolbarMode, const char *>, 3> entries{{
        {HeaderToolbarMode::ImageMarkup, "imageMarkup"},
        {HeaderToolbarMode::ImageComparison, "imageComparison"},
        {HeaderToolbarMode::TextComparison, "textComparison"},
    }};
};

enum class HeaderToolbarItem {
    Zoom,
    ImportImage,
    AddToComparison,
    ImageCanvas,
    ImageAnnotation,
    ImageExport,
    OpenProject,
    SaveProject,
    AddComparison,
    BatchAddComparison,
};

template<>
struct RawValueTable<HeaderToolbarItem> {
    static constexpr std::array<std::pair<HeaderToolbarItem, const char *>, 10> entries{{
        {HeaderToolbarItem::Zoom, "zoom"},
        {HeaderToolbarItem::ImportImage, "importImage"},
        {HeaderToolbarItem::AddToComparison, "addToComparison"},
        {HeaderToolbarItem::ImageCanvas, "imageCanvas"},
        {HeaderToolbarItem::ImageAnnotation, "imageAnnotation"},
        {HeaderToolbarItem::ImageExport, "imageExport"},
        {HeaderToolbarItem::OpenProject, "openProject"},
        {HeaderToolbarItem::SaveProject, "saveProject"},
        {HeaderToolbarItem::AddComparison, "addComparison"},
        {HeaderToolbarItem::BatchAddComparison, "batchAddComparison"},
    }};
};

namespace HeaderToolbarItems {
// The button's short label.
QString title(HeaderToolbarItem item);
// The symbol name drawn on the button; the widget layer maps it to a bundled icon.
QString systemImage(HeaderToolbarItem item);
// The button's tooltip.
QString helpText(HeaderToolbarItem item);
// The items of a mode in their default order; also the set of items the mode allows.
std::vector<HeaderToolbarItem> defaultOrder(HeaderToolbarMode mode);
} // namespace HeaderToolbarItems

enum class CanvasScrollAction { Zoom, Pan };

template<>
struct RawValueTable<CanvasScrollAction> {
    static constexpr std::array<std::pair<CanvasScrollAction, const char *>, 2> entries{{
        {CanvasScrollAction::Zoom, "zoom"},
        {CanvasScrollAction::Pan, "pan"},
    }};
};

enum class CanvasDragAction { Pan, None };

template<>
struct RawValueTable<CanvasDragAction> {
    static constexpr std::array<std::pair<CanvasDragAction, const char *>, 2> entries{{
        {CanvasDragAction::Pan, "pan"},
        {CanvasDragAction::None, "none"},
    }};
};

enum class CanvasMouseButtonAction { None, Undo, Redo, DeleteSelection, FitCanvas };

template<>
struct RawValueTable<CanvasMouseButtonAction> {
    static constexpr std::array<std::pair<CanvasMouseButtonAction, const char *>, 5> entries{{
        {CanvasMouseButtonAction::None, "none"},
        {CanvasMouseButtonAction::Undo, "undo"},
        {CanvasMouseButtonAction::Redo, "redo"},
        {CanvasMouseButtonAction::DeleteSelection, "deleteSelection"},
        {CanvasMouseButtonAction::FitCanvas, "fitCanvas"},
    }};
};

// What wheel, trackpad scrolling, middle-button dragging and the two side buttons do on the
// canvas. The member defaults are the bindings a new user gets.
struct PointerInteractionSettings {
    CanvasScrollAction mouseWheelAction = CanvasScrollAction::Zoom;
    CanvasScrollAction trackpadScrollAction = CanvasScrollAction::Pan;
    CanvasDragAction middleMouseDragAction = CanvasDragAction::Pan;
    CanvasMouseButtonAction sideButton1Action = CanvasMouseButtonAction::Undo;
    CanvasMouseButtonAction sideButton2Action = CanvasMouseButtonAction::Redo;

    bool operator==(const PointerInteractionSettings &) const = default;

    // All five keys, each the raw value of its action.
    QJsonObject toJson() const;
    // All five keys required, each one of its action's raw values; throws Json::DecodeError.
    static PointerInteractionSettings fromJson(const QJsonValue &value, const QString &path = {});
};
