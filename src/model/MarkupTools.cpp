#include "model/MarkupTools.h"

namespace MarkupTools {

std::vector<MarkupTool> defaultOrder()
{
    return RawValue::allCases<MarkupTool>();
}

} // namespace MarkupTools

namespace HeaderToolbarItems {

namespace {

struct ItemTexts {
    const char *title;
    const char *systemImage;
    const char *helpText;
};

ItemTexts texts(HeaderToolbarItem item)
{
    switch (item) {
    case HeaderToolbarItem::Zoom:
        return {"缩放", "magnifyingglass", "调整画布显示比例，不影响最终导出尺寸"};
    case HeaderToolbarItem::ImportImage:
        return {"导入", "photo.badge.plus", "导入单张、多张图片，或导入包含图片的文件夹"};
    case HeaderToolbarItem::AddToComparison:
        return {"加入对比", "plus.rectangle.on.rectangle", "把当前图片作为修改前图片，快速进入图片对比"};
    case HeaderToolbarItem::ImageCanvas:
        return {"画布", "viewfinder", "适合窗口、100% 显示或把画布重新居中"};
    case HeaderToolbarItem::ImageAnnotation:
        return {"标注", "paintbrush.pointed", "批量套用当前图标注，或清空当前图的全部标注"};
    case HeaderToolbarItem::ImageExport:
        return {"保存", "square.and.arrow.down", "把当前图片或左侧选中的图片保存到桌面"};
    case HeaderToolbarItem::OpenProject:
        return {"打开项目", "folder", "打开之前保存的图片对比或文案对比项目"};
    case HeaderToolbarItem::SaveProject:
        return {"保存项目", "tray.and.arrow.down", "保存当前项目，方便下次继续编辑"};
    case HeaderToolbarItem::AddComparison:
        return {"添加对比", "plus.rectangle.on.rectangle", "添加一组新的修改前/修改后图片对比"};
    case HeaderToolbarItem::BatchAddComparison:
        return {"批量添加", "folder.badge.plus", "按文件名批量匹配修改前和修改后文件夹"};
    }
    return {"", "", ""};
}

} // namespace

QString title(HeaderToolbarItem item)
{
    return QString::fromUtf8(texts(item).title);
}

QString systemImage(HeaderToolbarItem item)
{
    return QString::fromUtf8(texts(item).systemImage);
}

QString helpText(HeaderToolbarItem item)
{
    return QString::fromUtf8(texts(item).helpText);
}

std::vector<HeaderToolbarItem> defaultOrder(HeaderToolbarMode mode)
{
    using Item = HeaderToolbarItem;
    switch (mode) {
    case HeaderToolbarMode::ImageMarkup:
        return {Item::Zoom, Item::ImportImage, Item::AddToComparison, Item::ImageAnnotation, Item::ImageExport};
    case HeaderToolbarMode::ImageComparison:
        return {Item::Zoom, Item::AddComparison, Item::BatchAddComparison};
    case HeaderToolbarMode::TextComparison:
        return {Item::OpenProject, Item::SaveProject};
    }
    return {};
}

} // namespace HeaderToolbarItems

namespace {

template<typename E>
E readAction(const Json::ObjectReader &reader, const QString &key)
{
    const std::optional<E> action = RawValue::parse<E>(reader.string(key));
    if (!action)
        throw Json::DecodeError(reader.pathOf(key), QStringLiteral("unknown action"));
    return *action;
}

} // namespace

QJsonObject PointerInteractionSettings::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("mouseWheelAction"), RawValue::of(mouseWheelAction));
    object.insert(QStringLiteral("trackpadScrollAction"), RawValue::of(trackpadScrollAction));
    object.insert(QStringLiteral("middleMouseDragAction"), RawValue::of(middleMouseDragAction));
    object.insert(QStringLiteral("sideButton1Action"), RawValue::of(sideButton1Action));
    object.insert(QStringLiteral("sideButton2Action"), RawValue::of(sideButton2Action));
    return object;
}

PointerInteractionSettings PointerInteractionSettings::fromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    PointerInteractionSettings settings;
    settings.mouseWheelAction = readAction<CanvasScrollAction>(reader, QStringLiteral("mouseWheelAction"));
    settings.trackpadScrollAction = readAction<CanvasScrollAction>(reader, QStringLiteral("trackpadScrollAction"));
    settings.middleMouseDragAction = readAction<CanvasDragAction>(reader, QStringLiteral("middleMouseDragAction"));
    settings.sideButton1Action = readAction<CanvasMouseButtonAction>(reader, QStringLiteral("sideButton1Action"));
    settings.sideButton2Action = readAction<CanvasMouseButtonAction>(reader, QStringLiteral("sideButton2Action"));
    return settings;
}
