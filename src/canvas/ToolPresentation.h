#pragma once

#include "model/MarkupTools.h"

#include <QString>

// How the tools and the pointer bindings present themselves: the same title, icon and help text
// serve the tool column and the tool order editor, the same option titles the pointer menus.
namespace ToolPresentation {

QString title(MarkupTool tool);
// The symbol name of the tool's icon (platform/SymbolIcons).
QString symbolName(MarkupTool tool);
QString helpText(MarkupTool tool);
// The tooltip of a tool's row in the tool order editor: title, full-width colon, help text.
QString rowToolTip(MarkupTool tool);

QString title(CanvasScrollAction action);
QString title(CanvasDragAction action);
QString title(CanvasMouseButtonAction action);

} // namespace ToolPresentation
