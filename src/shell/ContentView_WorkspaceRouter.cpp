#include "shell/ContentView.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "shell/DropHighlight.h"
#include "shell/LauncherCard.h"
#include "shell/WorkspaceArea.h"
#include "ui/ActionButton.h"
#include "ui/EmptyStateColumn.h"

#include <QDragEnterEvent>

#include <algorithm>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QVBoxLayout>

// ---- Workspace area ---------------------------------------------------------------------------

WorkspaceArea::WorkspaceArea(ContentView &root, QWidget *parent)
    : QWidget(parent)
    , m_root(root)
    , m_highlight(new DropHighlight(this))
{
    setObjectName(QStringLiteral("workspaceArea"));
    setAcceptDrops(true);
    m_highlight->hide();
}

// Widgets are taken away with hide() and deleteLater(): the call may come from one of their own
// signals (a launcher card's click replaces the launcher it sits on).
void WorkspaceArea::setContent(QWidget *content)
{
    if (m_content) {
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        content->setParent(this);
        content->setGeometry(rect());
        content->show();
    }
    m_highlight->raise();
}

void WorkspaceArea::setHighlightVisible(bool visible)
{
    m_highlight->setGeometry(rect());
    m_highlight->setVisible(visible);
    m_highlight->raise();
}

void WorkspaceArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_content)
        m_content->setGeometry(rect());
    m_highlight->setGeometry(rect());
}

bool WorkspaceArea::acceptsMimeData(const QMimeData *mimeData)
{
    if (!mimeData)
        return false;
    if (mimeData->hasUrls() || mimeData->hasImage())
        return true;
    const QStringList formats = mimeData->formats();
    return std::any_of(formats.begin(), formats.end(), [](const QString &format) {
        return format == QLatin1String("image/png") || format == QLatin1String("image/jpeg")
               || format == QLatin1String("image/tiff") || format.startsWith(QLatin1String("video/"));
    });
}

void WorkspaceArea::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptsMimeData(event->mimeData()))
        return;
    event->acceptProposedAction();
    m_root.setDropTargeted(true);
}

void WorkspaceArea::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsMimeData(event->mimeData()))
        event->acceptProposedAction();
}

void WorkspaceArea::dragLeaveEvent(QDragLeaveEvent *event)
{
    QWidget::dragLeaveEvent(event);
    m_root.setDropTargeted(false);
}

void WorkspaceArea::dropEvent(QDropEvent *event)
{
    if (m_root.handleDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

// ---- Router -----------------------------------------------------------------------------------

QWidget *ContentView::workspaceAreaWidget() const { return m_workspaceArea; }
QWidget *ContentView::workspaceContentWidget() const { return m_workspaceArea->content(); }
QWidget *ContentView::dropHighlightWidget() const { return m_workspaceArea->highlight(); }

void ContentView::rebuildWorkspace()
{
    // Every entry builds the workspace afresh, so its own gesture and layout state starts over.
    m_workspaceArea->setContent(makeWorkspaceContent());
}

QWidget *ContentView::makeWorkspaceContent()
{
    switch (m_workspaceMode) {
    case WorkspaceMode::Launcher:
        return makeLauncherView();
    case WorkspaceMode::ImageMarkup: {
        QWidget *emptyState = makeImageMarkupEmptyState();
        if (m_hooks.imageMarkupWorkspace)
            return m_hooks.imageMarkupWorkspace(emptyState);
        // Until the canvas workspace exists there is never an image to show.
        return emptyState;
    }
    case WorkspaceMode::ImageComparison:
        return m_hooks.imageComparisonWorkspace ? m_hooks.imageComparisonWorkspace() : new QWidget;
    case WorkspaceMode::TextComparison:
        return m_hooks.textComparisonWorkspace ? m_hooks.textComparisonWorkspace() : new QWidget;
    case WorkspaceMode::Compression:
        return m_hooks.compressionWorkspace ? m_hooks.compressionWorkspace() : new QWidget;
    case WorkspaceMode::VideoFrameAnnotation:
        return m_hooks.videoFrameWorkspace ? m_hooks.videoFrameWorkspace() : new QWidget;
    }
    return new QWidget;
}

void ContentView::rebuildSidebar()
{
    const bool shown = m_workspaceMode == WorkspaceMode::ImageMarkup;
    QLayout *layout = m_sidebar->layout();
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    if (shown && m_hooks.imageMarkupSidebar) {
        if (QWidget *content = m_hooks.imageMarkupSidebar())
            layout->addWidget(content);
    }
    m_sidebar->setVisible(shown);
    m_sidebarDivider->setVisible(shown);
}

namespace {

// The launcher's background: a flat colour behind the centred card row.
class LauncherView : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), AppTheme::paleSlate()); }
};

} // namespace

QWidget *ContentView::makeLauncherView()
{
    auto *launcher = new LauncherView;
    launcher->setObjectName(QStringLiteral("launcher"));
    auto *outer = new QVBoxLayout(launcher);
    outer->setContentsMargins(28, 28, 28, 28);
    auto *row = new QHBoxLayout;
    row->setSpacing(18);
    row->addStretch(1);
    for (WorkspaceMode mode : ShellRules::switchableWorkspaces()) {
        auto *card = new LauncherCard(ShellRules::workspaceTitle(mode), ShellRules::workspaceSystemImage(mode), launcher);
        card->setToolTip(ShellRules::workspaceHelpText(mode));
        card->setObjectName(QStringLiteral("launcherCard"));
        connect(card, &QAbstractButton::clicked, this,
                [this, mode] { switchWorkspace(mode, mode == WorkspaceMode::TextComparison); });
        row->addWidget(card);
    }
    row->addStretch(1);
    outer->addStretch(1);
    outer->addLayout(row);
    outer->addStretch(1);
    return launcher;
}

QWidget *ContentView::makeImageMarkupEmptyState()
{
    auto *empty = new QWidget;
    QVBoxLayout *column = emptyStateColumn(empty, QStringLiteral("imageMarkupEmptyState"),
                                           QStringLiteral("photo.on.rectangle.angled"), 58, 14);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto *importButton = new ActionButton(QStringLiteral("导入图片"), QStringLiteral("photo.badge.plus"), empty);
    importButton->setObjectName(QStringLiteral("importImagesButton"));
    importButton->setColors(Qt::white, AppTheme::green(), AppTheme::green());
    importButton->setToolTip(QStringLiteral("选择图片或文件夹，开始添加图片标注"));
    connect(importButton, &QAbstractButton::clicked, this, [this] {
        if (m_hooks.presentImageImportPanel)
            m_hooks.presentImageImportPanel();
    });
    buttons->addStretch(1);
    buttons->addWidget(importButton);
    buttons->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);
    return empty;
}

void ContentView::switchWorkspace(WorkspaceMode mode, bool performDefaultAction)
{
    setWorkspaceMode(mode);
    setPanOffset(QSizeF(0, 0));
    if (performDefaultAction && mode == WorkspaceMode::TextComparison && !m_viewModel->textComparison()
        && m_hooks.presentTextImportPanel)
        m_hooks.presentTextImportPanel();
}

bool ContentView::handleImageMarkupMouseButton(CanvasMouseButtonAction action)
{
    switch (action) {
    case CanvasMouseButtonAction::None:
        return false;
    case CanvasMouseButtonAction::Undo:
        return m_viewModel->undo();
    case CanvasMouseButtonAction::Redo:
        return m_viewModel->redo();
    case CanvasMouseButtonAction::DeleteSelection:
        return m_hooks.deleteImageMarkupSelection ? m_hooks.deleteImageMarkupSelection() : false;
    case CanvasMouseButtonAction::FitCanvas:
        if (m_hooks.fitImageMarkupCanvas)
            m_hooks.fitImageMarkupCanvas();
        return true;
    }
    return false;
}

bool ContentView::handleVideoFrameMouseButton(CanvasMouseButtonAction action)
{
    switch (action) {
    case CanvasMouseButtonAction::None:
        return false;
    case CanvasMouseButtonAction::Undo:
        return m_videoFrameViewModel->undo();
    case CanvasMouseButtonAction::Redo:
        return m_videoFrameViewModel->redo();
    case CanvasMouseButtonAction::DeleteSelection:
        return m_hooks.deleteVideoFrameSelection ? m_hooks.deleteVideoFrameSelection() : false;
    case CanvasMouseButtonAction::FitCanvas:
        if (m_hooks.fitVideoFrameCanvas)
            m_hooks.fitVideoFrameCanvas();
        return true;
    }
    return false;
}
