#pragma once

#include "model/MarkupProjectDocument.h"
#include "model/MarkupViewModel.h"
#include "model/MarkupViewModelTypes.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

class QWidget;

// Where the workspaces and the view-model operations of other subsystems plug into the window.
// The root view (ContentView) routes keys, drops, header items, side buttons and the quit prompts;
// what those routes end in belongs to the workspace that owns it. Each workspace fills its slots
// once, in installWorkspaceHooks() (WorkspaceHookup.cpp), when the window is built.
//
// An empty slot means the feature is not there: its key command answers false (the key goes on to
// the focused widget), its header item or view renders nothing, its drop is ignored, and a quit
// prompt that would need it keeps the window open.
struct ShellHooks
{
    // ---- Main view model operations ------------------------------------------------------------
    // Every slot receives the view model it works on (the main one, or the video one).
    std::function<void(MarkupViewModel &)> cancelCurrentOperation;
    std::function<bool(MarkupViewModel &, const QString &name)> handleToolShortcut;
    std::function<void(MarkupViewModel &, const QStringList &paths, bool replacing)> importImages;
    std::function<void(MarkupViewModel &, const QImage &image, const QString &fileName)> importImage;
    // The written files; empty when nothing was written. Returns once the files are written.
    std::function<QStringList(MarkupViewModel &, ImageExportFormat format, double jpegQuality)> saveSelectedImagesToDesktop;
    // Opening a project in two steps, so that the window never waits for the file and another
    // program's file is refused before anything is asked: readProject reads, checks and decodes
    // it off the window's thread (it touches no view model); openProject then makes it the
    // window's work, on the window's thread (true when it opened).
    std::function<std::variant<MarkupViewModel::ReadProject, MarkupProjectError>(const QString &path)> readProject;
    std::function<bool(MarkupViewModel &, const QString &path, MarkupViewModel::ReadProject)> openProject;
    std::function<bool(MarkupViewModel &, const QString &path)> saveProject;
    // The save command's: written off the window's thread, its status or error once it is done.
    std::function<void(MarkupViewModel &, const QString &path)> startSavingProject;

    // ---- Image markup workspace ----------------------------------------------------------------
    // Builds the workspace afresh on every entry; it shows `emptyState` while there is no image.
    std::function<QWidget *(QWidget *emptyState)> imageMarkupWorkspace;
    // The content of the 188-wide sidebar (tool column and thumbnails).
    std::function<QWidget *()> imageMarkupSidebar;
    // Header items: the "标注" menu and the "保存到桌面" button.
    std::function<QWidget *()> imageAnnotationMenu;
    std::function<QWidget *()> saveToDesktopButton;
    // Ctrl+S: the button's save (PNG, off the GUI thread; the view model's isSavingImagesToDesktop
    // is true until its outcome is applied).
    std::function<void()> startSavingSelectedImagesToDesktop;
    std::function<void()> presentImageImportPanel;
    // Deletes the selected annotations, or asks before deleting the selected images.
    std::function<bool()> deleteImageMarkupSelection;
    std::function<void()> fitImageMarkupCanvas;

    // ---- Image comparison workspace -------------------------------------------------------------
    std::function<QWidget *()> imageComparisonWorkspace;
    // Opens the single-pair setup sheet (the current image as "before" when asked).
    std::function<void(bool useCurrentImage)> presentComparisonSetup;

    // ---- Text comparison workspace --------------------------------------------------------------
    std::function<QWidget *()> textComparisonWorkspace;
    std::function<void()> presentTextImportPanel;
    std::function<void()> presentOpenProjectPanel;
    // The save-as panel for the project; true when a file was written.
    std::function<bool()> presentSaveProjectPanel;
    // The same for the save command: the file is written off the window's thread.
    std::function<void()> presentSaveProjectPanelInBackground;

    // ---- Image compression workspace ------------------------------------------------------------
    std::function<QWidget *()> compressionWorkspace;
    std::function<void(const QStringList &paths)> addCompressionSources;
    // The files of one drop, added in order and reported together.
    std::function<void(const QStringList &paths)> addDroppedCompressionSources;
    // A compression run is writing its outputs: a close waits for it. The hookup calls
    // ContentView::resumeWaitingClose() when it ends.
    std::function<bool()> isCompressingImages;

    // ---- Video frame workspace ------------------------------------------------------------------
    std::function<QWidget *()> videoFrameWorkspace;
    std::function<void(const QString &path)> importVideo;
    std::function<void()> presentVideoImportPanel;
    // Saves the current frame with its annotations; the store answers later, so nothing is returned.
    std::function<void()> saveCurrentVideoFrame;
    std::function<void()> confirmClearVideoFrameAnnotations;
    std::function<bool()> deleteVideoFrameSelection;
    std::function<void()> fitVideoFrameCanvas;
    // Escape in the video workspace: pauses the preview (the store's isPlaying becomes false).
    std::function<void()> pauseVideoPlayback;
    std::function<bool(MarkupViewModel &, const QString &name)> handleVideoFrameShortcut;
    // The quit's question about the frame on screen: whether its annotations were drawn or
    // changed since its last save, and the question itself, which calls `proceed` when the quit
    // may go on (at once, or once the frame's save is written), never on 取消 or a failed save.
    std::function<bool()> hasUnsavedVideoFrame;
    std::function<void(std::function<void()> proceed)> confirmLeavingVideoFrame;
};

class ContentView;

// Fills the hooks of every workspace that exists. Each workspace adds one call here.
void installWorkspaceHooks(ContentView &view);
