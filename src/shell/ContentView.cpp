#include "shell/ContentView.h"

#include "canvas/ImageMarkupSidebar.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "platform/ScreenCaptureAccess.h"
#include "shell/AppUpdateManager.h"
#include "shell/KeyCommandMonitor.h"
#include "shell/OpenProjectBridge.h"
#include "shell/ScreenCapturePermission.h"
#include "shell/WorkspaceArea.h"
#include "textengine/TextComparisonExecutor.h"
#include "ui/ElidedLabel.h"
#include "ui/ShellDialogs.h"

#include "ui/ElidedLabel.h"
#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QSettings>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

namespace {

// The widget paints its whole area in one colour, whatever the desktop's scheme.
void fillBackground(QWidget *widget, const QColor &colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

QFrame *makeDivider(Qt::Orientation orientation, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::NoFrame);
    fillBackground(line, AppTheme::lightSlate());
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    return line;
}

} // namespace

ContentView::ContentView(QSettings &settings, ContentViewOptions options, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_viewModel(std::make_unique<MarkupViewModel>(settings))
    , m_videoFrameViewModel(std::make_unique<MarkupViewModel>(settings))
    , m_openProjectBridge(new OpenProjectBridge(this))
    , m_dialogs(options.dialogs ? std::move(options.dialogs) : std::make_unique<ShellDialogs>())
    , m_quitApplication(std::move(options.quitApplication))
    , m_workers(TextComparisonExecutors::threaded())
{
    // Projects are encoded and written off the window's thread.
    m_viewModel->setProjectWriter(TextComparisonExecutors::threaded());
    setObjectName(QStringLiteral("contentView"));
    m_updateManager = new AppUpdateManager(
        options.useDefaultUpdateURL ? AppUpdateManager::defaultUpdateInfoURL() : options.updateInfoURL, this);
    m_permission = std::make_unique<ScreenCapturePermission>(
        options.screenCaptureAccess ? std::move(options.screenCaptureAccess) : ScreenCaptureAccess::createDefault(),
        settings, [this] { return m_viewModel->statusMessage(); },
        [this](const QString &message) { m_viewModel->setStatusMessage(message); });
    m_keyMonitor = new KeyCommandMonitor([this](const QString &name) { return handleKeyCommand(name); }, this);

    if (options.installWorkspaces)
        installWorkspaceHooks(*this);

    // The window is drawn light whatever the desktop's scheme.
    fillBackground(this, AppTheme::background());

    buildBody();
    connectLifecycle();
}

ContentView::~ContentView()
{
    cancelDocumentLoad();
}

void ContentView::buildBody()
{
    m_bodyLayout = new QVBoxLayout(this);
    m_bodyLayout->setContentsMargins(0, 0, 0, 0);
    m_bodyLayout->setSpacing(0);

    m_header = makeHeaderBar();
    m_bodyLayout->addWidget(m_header);
    m_bodyLayout->addWidget(makeDivider(Qt::Horizontal, this));

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_sidebar = new QWidget(this);
    m_sidebar->setObjectName(QStringLiteral("imageMarkupSidebar"));
    m_sidebar->setFixedWidth(ImageMarkupSidebar::sidebarWidth);
    fillBackground(m_sidebar, AppTheme::paleGray());
    auto *sidebarLayout = new QHBoxLayout(m_sidebar);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->setSpacing(0);
    m_sidebarDivider = makeDivider(Qt::Vertical, this);
    m_workspaceArea = new WorkspaceArea(*this, this);
    row->addWidget(m_sidebar);
    row->addWidget(m_sidebarDivider);
    row->addWidget(m_workspaceArea, 1);
    m_bodyLayout->addLayout(row, 1);
    m_bodyLayout->addWidget(makeDivider(Qt::Horizontal, this));
    m_bodyLayout->addWidget(makeStatusStrip());

    rebuildSidebar();
    rebuildWorkspace();
}

// The status line has a strip of its own along the bottom edge, so the last action's message is
// readable at every window size whatever the header holds.
QWidget *ContentView::makeStatusStrip()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("statusStrip"));
    strip->setFixedHeight(26);
    fillBackground(strip, AppTheme::paleGray());
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(16, 0, 16, 0);
    m_statusLabel = new ElidedLabel({AppFont::font(TypeScale::body), AppTheme::secondaryText()}, strip);
    m_statusLabel->setObjectName(QStringLiteral("statusLine"));
    m_statusLabel->setText(m_viewModel->statusMessage());
    layout->addWidget(m_statusLabel, 1);
    connect(m_viewModel.get(), &MarkupViewModel::statusMessageChanged, m_statusLabel,
            [this] { m_statusLabel->setText(m_viewModel->statusMessage()); });
    return strip;
}

void ContentView::reloadWorkspace()
{
    rebuildSidebar();
    rebuildWorkspace();
    rebuildHeaderItems();
}

void ContentView::setWorkspaceMode(WorkspaceMode mode)
{
    if (mode == m_workspaceMode)
        return;
    m_workspaceMode = mode;
    // What the status said about the workspace being left (an editor, a tool) is over.
    m_viewModel->endStatusMoments();
    closeHeaderToolbarOrderEditor();
    // The workspace being left goes before the frame around it changes: showing or hiding the
    // sidebar resizes the workspace area at once, and a workspace still in it would lay its
    // content out again (a long text: every line) at a width nobody will see.
    m_workspaceArea->setContent(nullptr);
    rebuildSidebar();
    // The new workspace is built at the size it is shown at, not resized (and laid out again)
    // as soon as the sidebar's change reaches the layout.
    if (layout())
        layout()->activate();
    rebuildWorkspace();
    rebuildHeaderItems();
    Q_EMIT workspaceModeChanged(mode);
}

void ContentView::setPanOffset(QSizeF offset)
{
    if (offset == m_panOffset)
        return;
    m_panOffset = offset;
    Q_EMIT panOffsetChanged();
}

void ContentView::setComparisonFraction(double fraction)
{
    const double value = std::isfinite(fraction) ? fraction : 0.0;
    if (value == m_comparisonFraction)
        return;
    m_comparisonFraction = value;
    Q_EMIT comparisonFractionChanged();
}

void ContentView::setDropTargeted(bool targeted)
{
    if (targeted == m_isDropTargeted)
        return;
    m_isDropTargeted = targeted;
    m_workspaceArea->setHighlightVisible(targeted);
    Q_EMIT dropTargetedChanged(targeted);
}

void ContentView::terminate()
{
    // The flag comes first: quitting may send this window another close request, which must then
    // pass without a second question.
    m_isTerminating = true;
    // A document still being read is not opened any more.
    cancelDocumentLoad();
    Q_EMIT terminationRequested();
    if (m_quitApplication)
        m_quitApplication();
    else
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void ContentView::runWhenNoModalDialog(std::function<void()> action)
{
    if (!QApplication::activeModalWidget()) {
        action();
        return;
    }
    // A modal dialog (a prompt, a file dialog) runs its own event loop; acting inside it would
    // open a second modal window over the first. Try again once it has gone.
    QTimer::singleShot(150, this, [this, action = std::move(action)]() mutable { runWhenNoModalDialog(std::move(action)); });
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (QWindow *handle = window()->windowHandle())
        m_keyMonitor->attach(handle);
    if (m_didShow)
        return;
    m_didShow = true;
    QTimer::singleShot(0, this, [this] {
        runStartupTasks();
        // A project handed over on the command line waits for the window to be on screen.
        if (m_openProjectBridge->pendingProjectURL())
            runWhenNoModalDialog([this] { openPendingProject(); });
    });
}
