#pragma once

#include "model/MarkupTools.h"
#include "model/WorkspaceMode.h"
#include "platform/ScreenCaptureAccess.h"
#include "shell/HeaderToolbarOrderEditor.h"
#include "shell/ShellHooks.h"
#include "shell/ShellRules.h"
#include "ui/ShellDialogs.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QSizeF>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppUpdateManager;
class HeaderToolbarOrderEditor;
class KeyCommandMonitor;
class MarkupViewModel;
class OpenProjectBridge;
class QBoxLayout;
class QHBoxLayout;
class QMimeData;
class QSettings;
class ScreenCaptureAccess;
class ScreenCapturePermission;
class ShellDialogs;
class SwitcherButton;
class TextComparisonExecutor;
class ElidedLabel;
class WorkspaceArea;
class ZoomControls;

// What a window is built with besides its settings; tests replace the dialogs, the permission
// backend and the update address.
struct ContentViewOptions
{
    QUrl updateInfoURL;
    bool useDefaultUpdateURL = true;
    std::unique_ptr<ScreenCaptureAccess> screenCaptureAccess; // null: the platform's
    std::unique_ptr<ShellDialogs> dialogs;                    // null: message boxes
    bool installWorkspaces = true;                            // run installWorkspaceHooks()
    std::function<void()> quitApplication;                    // null: a queued QCoreApplication::quit
};

// The root view of the one window: the header, the image sidebar (image markup only) and the
// workspace area. It owns the two view models, the open-documents bridge and the update manager,
// and holds the state that more than one workspace needs (mode, pan, cancel signal, drop hover,
// the quit flag). Its members are spread over ContentView*.cpp by subject: the body here, the
// router and launcher, the header, and the lifecycle (keys, quit, drops, alerts, start-up).
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(QSettings &settings, ContentViewOptions options = {}, QWidget *parent = nullptr);
    ~ContentView() override;

    // ---- Owned objects -------------------------------------------------------------------------
    MarkupViewModel &viewModel() const { return *m_viewModel; }
    MarkupViewModel &videoFrameViewModel() const { return *m_videoFrameViewModel; }
    OpenProjectBridge &openProjectBridge() const { return *m_openProjectBridge; }
    AppUpdateManager &updateManager() const { return *m_updateManager; }
    ScreenCapturePermission &screenCapturePermission() const { return *m_permission; }
    ShellHooks &hooks() { return m_hooks; }
    // Rebuilds the workspace, sidebar and header after hooks were filled late (tests).
    void reloadWorkspace();

    // ---- Root-view state -----------------------------------------------------------------------
    WorkspaceMode workspaceMode() const { return m_workspaceMode; }
    void setWorkspaceMode(WorkspaceMode mode);
    QSizeF panOffset() const { return m_panOffset; }
    void setPanOffset(QSizeF offset);
    double comparisonFraction() const { return m_comparisonFraction; }
    // Non-finite values count as 0.
    void setComparisonFraction(double fraction);
    int cancelSignal() const { return m_cancelSignal; }
    bool isDropTargeted() const { return m_isDropTargeted; }
    void setDropTargeted(bool targeted);
    bool isTerminating() const { return m_isTerminating; }
    bool isHeaderToolbarOrderEditorPresented() const { return m_isHeaderToolbarOrderEditorPresented; }
    void setHeaderToolbarOrderEditorPresented(bool presented);

    // ---- Router and launcher (ContentView_WorkspaceRouter.cpp) --------------------------------
    // The launcher cards: mode, pan = 0, and for text comparison without a document the text
    // import panel.
    void switchWorkspace(WorkspaceMode mode, bool performDefaultAction);
    bool handleImageMarkupMouseButton(CanvasMouseButtonAction action);
    bool handleVideoFrameMouseButton(CanvasMouseButtonAction action);
    // The widget now filling the workspace area (launcher, empty state or a workspace view).
    QWidget *workspaceContentWidget() const;
    QWidget *sidebarWidget() const { return m_sidebar; }
    QWidget *workspaceAreaWidget() const;
    QWidget *dropHighlightWidget() const;

    // ---- Header (ContentView_Header.cpp) --------------------------------------------------------
    std::optional<HeaderToolbarMode> headerToolbarMode() const { return ShellRules::headerToolbarMode(m_workspaceMode); }
    std::vector<HeaderToolbarItem> visibleHeaderToolbarItems(HeaderToolbarMode mode) const;
    QWidget *headerBar() const { return m_header; }
    // The widget shown for an item right now, or null when it renders nothing.
    QWidget *headerItemWidget(HeaderToolbarItem item) const;
    // The items on screen, left to right.
    std::vector<HeaderToolbarItem> shownHeaderItems() const;
    QWidget *headerToolbarOrderButton() const { return m_orderButton; }
    HeaderToolbarOrderEditor *headerToolbarOrderEditor() const { return m_orderEditor; }
    SwitcherButton *workspaceSwitcherButton(WorkspaceMode mode) const;
    ZoomControls *zoomControls() const;
    QString statusLineText() const;
    QWidget *statusLineWidget() const;

    // ---- Lifecycle (ContentView_Lifecycle.cpp) -------------------------------------------------
    bool handleKeyCommand(const QString &name);
    void handleEscapeShortcut();
    // The close request: true lets the window close (only once quitting was decided). While a
    // Desktop save or a compression run goes on, the close waits for it.
    bool shouldCloseWindow();
    // A run that a close waits for has ended (after its outcome was reported): the close asked
    // for meanwhile is asked again.
    void resumeWaitingClose();
    // Drops: the first local file, else the first decodable picture; handled after a queued hop.
    bool handleDrop(const QMimeData *mimeData);
    void handleDroppedFile(const QString &path);
    // Every file of a drop on the compression workspace.
    void handleDroppedFiles(const QStringList &paths);
    // Picture bytes are decoded off the window's thread and imported when done; a picture that
    // does not decode is dropped without a word.
    void handleDroppedImageData(const QByteArray &data);
    bool isDecodingDroppedPicture() const { return !m_droppedPictures.empty(); }
    void openPendingProject();
    // Asks before the opened project replaces unsaved work (see confirmReplacingWork), then reads
    // it off the window's thread and opens it when read (see loadDocument), once the project
    // writes under way have ended. True when it was asked for (false without the reading step).
    bool openProject(const QString &path);
    // Reading a document (a project, a source text) off the window's thread: `read` runs on a
    // worker and gives what the window then runs with its result. The status says "正在读取…"
    // meanwhile, and the window goes on answering. A newer load, or the window's close, drops the
    // one before it: its reading ends on its own, its result is never applied.
    void loadDocument(std::function<std::function<void()>()> read);
    bool isLoadingDocument() const { return m_documentLoad != nullptr; }
    void cancelDocumentLoad();
    // Where documents are read; tests hold the reading or run it at once.
    void setWorkerExecutor(std::shared_ptr<TextComparisonExecutor> executor);
    const std::shared_ptr<TextComparisonExecutor> &workerExecutor() const { return m_workers; }
    // Before a project open (the text and the images) or a new text source (the text only)
    // replaces work that no project file holds: the window comes to the front and asks the quit
    // rules' questions for that content, in the same order, with the same answers, worded for
    // the action. True when the caller may go on: the work was saved,
    // was not to be saved, or there was nothing to ask about (a pending autosave of the open
    // project is then written by the view model as the open or the new source leaves it).
    bool confirmReplacingWork(SaveQuestionCause cause);
    void saveProject();
    void runStartupTasks();
    void refreshScreenCaptureAccess();
    QString updateAlertMessage() const;

Q_SIGNALS:
    void workspaceModeChanged(WorkspaceMode mode);
    void panOffsetChanged();
    void comparisonFractionChanged();
    void cancelSignalChanged(int value);
    void dropTargetedChanged(bool targeted);
    // Quitting was decided; the application quit is queued.
    void terminationRequested();
    // Quitting asks about unsaved work; a status about an earlier moment no longer stands, whatever
    // the answers.
    void quitQuestionsAsked();
    // A project read off the window's thread is about to replace the work on screen, and has.
    void documentOpening();
    void documentOpened();

protected:
    void showEvent(QShowEvent *event) override;

private:
    friend class WorkspaceArea;

    // Body (ContentView.cpp).
    void buildBody();
    QWidget *makeStatusStrip();
    void terminate();
    void bringWindowToFront();
    // Runs `action` now when no modal dialog is up, else once the last one has closed.
    void runWhenNoModalDialog(std::function<void()> action);

    // Router (ContentView_WorkspaceRouter.cpp).
    void rebuildWorkspace();
    void rebuildSidebar();
    QWidget *makeLauncherView();
    QWidget *makeImageMarkupEmptyState();
    QWidget *makeWorkspaceContent();

    // Header (ContentView_Header.cpp).
    QWidget *makeHeaderBar();
    void rebuildHeaderItems();
    void refreshHeaderStates();
    void fitHeaderToWidth();
    QWidget *makeHeaderItemView(HeaderToolbarItem item);
    void presentHeaderToolbarOrderEditor();
    void closeHeaderToolbarOrderEditor();

    // Lifecycle (ContentView_Lifecycle.cpp).
    void connectLifecycle();
    void presentErrorAlertIfNeeded();
    void watchUpdateKey();
    void presentUpdateAlert();
    // The front of the dropped pictures, decoded on a pool thread; then imported (when it gave a
    // picture) on the window's thread.
    void decodeNextDroppedPicture();
    void importDroppedPicture(const std::optional<QImage> &image);
    // The workspace a project just opened shows.
    static WorkspaceMode openedProjectWorkspace(const MarkupProjectDocument &document);
    void showOpenedProject(WorkspaceMode mode);
    // The quit decision: asks about each kind of unsaved work in turn, then quits. Anything a close
    // must wait for comes before it (see shouldCloseWindow).
    void applyQuitRules();
    // The reading step of openProject, once the project writes under way have ended.
    void readProject(const QString &path);
    // Asks the questions in their order and calls `proceed` once every one went on: at once, or
    // after the video frame's save was written. Never after 取消 or a failed save.
    void askAboutUnsavedWork(std::vector<ShellRules::UnsavedWork> questions, SaveQuestionCause cause,
                             std::function<void()> proceed);
    // The quit rules' save question; true when the caller may go on (saved, or 不保存).
    bool askToSave(QuitPrompt prompt, SaveQuestionCause cause);
    // The saves behind the questions' first button; true only when everything was written.
    bool saveSelectedImagesAsAsked();
    bool saveProjectAsAsked();

    // Owned objects.
    QSettings &m_settings;
    std::unique_ptr<MarkupViewModel> m_viewModel;
    std::unique_ptr<MarkupViewModel> m_videoFrameViewModel;
    OpenProjectBridge *m_openProjectBridge = nullptr;
    AppUpdateManager *m_updateManager = nullptr;
    std::unique_ptr<ScreenCapturePermission> m_permission;
    std::unique_ptr<ShellDialogs> m_dialogs;
    KeyCommandMonitor *m_keyMonitor = nullptr;
    ShellHooks m_hooks;
    std::function<void()> m_quitApplication;

    // State.
    WorkspaceMode m_workspaceMode = WorkspaceMode::Launcher;
    QSizeF m_panOffset{0, 0};
    double m_comparisonFraction = 0.5;
    int m_cancelSignal = 0;
    bool m_isDropTargeted = false;
    bool m_isTerminating = false;
    bool m_isHeaderToolbarOrderEditorPresented = false;
    bool m_isUpdateAlertPresented = false;
    bool m_isErrorAlertScheduled = false;
    // A close request came while images were being saved or compressed; it is made again once
    // the run ends.
    bool m_isCloseWaitingForSave = false;
    bool m_didRunStartupUpdateCheck = false;
    bool m_didShow = false;
    QString m_previousUpdateKey;
    // The workers documents are read on, and the cancel flag of the load under way (null when none).
    std::shared_ptr<TextComparisonExecutor> m_workers;
    std::shared_ptr<std::atomic<bool>> m_documentLoad;
    // Dropped picture bytes, oldest first: the front one is being decoded, the others wait.
    std::deque<QByteArray> m_droppedPictures;

    // Widgets.
    QBoxLayout *m_bodyLayout = nullptr;
    QWidget *m_header = nullptr;
    QHBoxLayout *m_headerLayout = nullptr;
    ElidedLabel *m_statusLabel = nullptr;
    std::vector<std::pair<WorkspaceMode, SwitcherButton *>> m_switcherButtons;
    std::vector<std::pair<HeaderToolbarItem, QWidget *>> m_headerItems;
    QWidget *m_orderButton = nullptr;
    QPointer<HeaderToolbarOrderEditor> m_orderEditor;
    QWidget *m_sidebar = nullptr;
    QWidget *m_sidebarDivider = nullptr;
    WorkspaceArea *m_workspaceArea = nullptr;
};
