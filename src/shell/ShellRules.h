#pragma once

#include "model/MarkupTools.h"
#include "model/WorkspaceMode.h"

#include <QString>

#include <optional>
#include <vector>

// The window's routing rules as plain functions of the state they look at, so that the header,
// the key dispatch, the drop routing and the quit decision can be checked without a window.
namespace ShellRules {

// ---- Workspaces -------------------------------------------------------------------------------

// Caption, symbol and tooltip of a workspace (launcher cards and header switcher).
QString workspaceTitle(WorkspaceMode mode);
QString workspaceSystemImage(WorkspaceMode mode);
QString workspaceHelpText(WorkspaceMode mode);
// The five workspaces of the launcher and the switcher, left to right.
std::vector<WorkspaceMode> switchableWorkspaces();

// ---- Header -----------------------------------------------------------------------------------

// The header toolbar layout of a workspace; none in the launcher, compression and video.
std::optional<HeaderToolbarMode> headerToolbarMode(WorkspaceMode mode);
// The stored (or default) order without imageCanvas, which the header never draws.
std::vector<HeaderToolbarItem> visibleHeaderToolbarItems(const std::vector<HeaderToolbarItem> &order);
// Whether an item draws anything while `mode` is on screen. A foreign item in a stored order,
// addComparison and batchAddComparison draw nothing.
bool isHeaderItemShown(HeaderToolbarItem item, WorkspaceMode mode);
// Whether an item is greyed out (opacity 0.45) and ignores presses.
bool isHeaderItemDisabled(HeaderToolbarItem item, bool canExport, bool hasSelectedImageItems);
inline constexpr double disabledOpacity = 0.45;

// One press of the zoom-out (-0.1) or zoom-in (+0.1) button: no snapping, clamped to 0.25…30.
double steppedZoom(double zoom, double step);
// "100%": the product truncated toward zero, no digit grouping. Non-finite zoom shows "0%".
QString zoomPercentText(double zoom);

// ---- Router -----------------------------------------------------------------------------------

// A seek or preview position rounded to a whole frame, halves away from zero (12.5 → 13);
// nothing for a non-finite value or one beyond the int range.
std::optional<int> roundedFrameIndex(double value);

// ---- Drops ------------------------------------------------------------------------------------

enum class DroppedKind { File, Picture };
enum class DropRoute { ImportVideo, AddCompressionSources, ImportImageFiles, ImportPicture };
// Where a dropped file or picture goes. A video file goes to the video workspace from anywhere; any
// other file joins the compression list while compression is on screen and the image list
// otherwise; picture data always goes to the image list.
DropRoute routeDrop(DroppedKind kind, bool isVideo, WorkspaceMode mode);
// Extension mp4, mov or m4v (any case), else a video MIME type by name or content.
bool isVideoFile(const QString &path);

// ---- Unsaved work -----------------------------------------------------------------------------

// Work that no file holds. Before it would be lost each kind gets its own save question, in this
// order: the text comparison, the annotated images, the annotated video frame.
enum class UnsavedWork { TextComparison, Images, VideoFrame };
// The questions, in the order they are asked, for the work that is there and would be lost: the
// quit passes everything, a project open or a new source only what it replaces. Comparison pairs
// are never asked about: no file the program writes holds them.
std::vector<UnsavedWork> unsavedWorkQuestions(bool textComparison, bool images, bool videoFrame);

} // namespace ShellRules
