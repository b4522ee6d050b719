#include "canvas/ToolPresentation.h"

namespace ToolPresentation {

namespace {

struct ToolTexts {
    const char *title;
    const char *symbolName;
    const char *helpText;
};

ToolTexts texts(MarkupTool tool)
{
    switch (tool) {
    case MarkupTool::Select:
        return {"选择", "cursorarrow", "选择、移动、调整或删除已有标注"};
    case MarkupTool::Crop:
        return {"裁剪", "crop", "裁切当前图片，确认后生成一张新的裁切图片"};
    case MarkupTool::Eyedropper:
        return {"取色", "eyedropper", "查看鼠标位置颜色，并复制 HEX、RGB 或 CMYK 数值"};
    case MarkupTool::Arrow:
        return {"箭头", "arrow.up.right", "添加带编号的箭头说明，可调整线宽、文字大小和颜色"};
    case MarkupTool::Text:
        return {"文字", "text.cursor", "在图片上添加文字说明，可拖动位置并调整文字框宽度"};
    case MarkupTool::Rectangle:
        return {"框选", "rectangle.dashed", "框选重点区域，可添加编号文字并调整边框颜色"};
    case MarkupTool::Brush:
        return {"画笔", "paintbrush", "自由手绘标记，适合圈出不规则区域或临时强调"};
    }
    return {"", "", ""};
}

} // namespace

QString title(MarkupTool tool)
{
    return QString::fromUtf8(texts(tool).title);
}

QString symbolName(MarkupTool tool)
{
    return QString::fromUtf8(texts(tool).symbolName);
}

QString helpText(MarkupTool tool)
{
    return QString::fromUtf8(texts(tool).helpText);
}

QString rowToolTip(MarkupTool tool)
{
    return title(tool) + QStringLiteral("：") + helpText(tool);
}

QString title(CanvasScrollAction action)
{
    return action == CanvasScrollAction::Zoom ? QStringLiteral("缩放") : QStringLiteral("拖动画布");
}

QString title(CanvasDragAction action)
{
    return action == CanvasDragAction::Pan ? QStringLiteral("拖动画布") : QStringLiteral("无操作");
}

QString title(CanvasMouseButtonAction action)
{
    switch (action) {
    case CanvasMouseButtonAction::None:
        return QStringLiteral("无操作");
    case CanvasMouseButtonAction::Undo:
        return QStringLiteral("撤销");
    case CanvasMouseButtonAction::Redo:
        return QStringLiteral("重做");
    case CanvasMouseButtonAction::DeleteSelection:
        return QStringLiteral("删除选中");
    case CanvasMouseButtonAction::FitCanvas:
        return QStringLiteral("适合窗口");
    }
    return {};
}

} // namespace ToolPresentation
