#include "shell/ImageCompressionHookup.h"

#include "compression/widgets/DialogCompressionChooser.h"
#include "compression/widgets/ImageCompressionWorkspace.h"
#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/ShellHooks.h"

ImageCompressionHookup::ImageCompressionHookup(ContentView &view, std::unique_ptr<CompressionChooser> chooser)
    : QObject(&view)
    , m_view(view)
    , m_session(chooser ? std::move(chooser) : std::make_unique<DialogCompressionChooser>(&view))
{
    connect(&m_session, &ImageCompressionSession::statusReported, this,
            [this](const QString &message) { m_view.viewModel().setStatusMessage(message); });
    connect(&m_session, &ImageCompressionSession::errorReported, this,
            [this](const QString &message) { m_view.viewModel().setErrorMessage(message); });
    connect(&m_session, &ImageCompressionSession::sourcesChosen, this,
            [this] { m_view.setWorkspaceMode(WorkspaceMode::Compression); });
    connect(&m_session, &ImageCompressionSession::isCompressingImagesChanged, this, [this] {
        if (!m_session.isCompressingImages())
            m_view.resumeWaitingClose();
    });
}

void ImageCompressionHookup::install(ShellHooks &hooks)
{
    hooks.compressionWorkspace = [this] { return makeWorkspace(); };
    hooks.addCompressionSources = [this](const QStringList &paths) { m_session.addCompressionSources(paths); };
    hooks.addDroppedCompressionSources = [this](const QStringList &paths) {
        m_session.addDroppedCompressionSources(paths);
    };
    hooks.isCompressingImages = [this] { return m_session.isCompressingImages(); };
}

QWidget *ImageCompressionHookup::makeWorkspace()
{
    ImageCompressionSession *session = &m_session;
    ImageCompressionWorkspace::Actions actions;
    actions.add = [session] { session->presentCompressionImportPanel(); };
    actions.clear = [session] { session->clearCompressionSources(); };
    actions.remove = [session](const QUuid &id) { session->removeCompressionSource(id); };
    actions.select = [session](const QUuid &id) { session->setSelectedCompressionSourceID(id); };
    actions.crop = [session](const QUuid &id, const QRectF &unit, CropAspectRatio ratio) {
        return session->cropCompressionSource(id, unit, ratio);
    };
    actions.compress = [session] { session->compressImages(); };
    actions.setSettings = [session](const ImageCompressionSettings &settings) {
        session->setCompressionSettings(settings);
    };
    actions.keepCrops = [session](const PendingCompressionCrops &crops) { session->setPendingCrops(crops); };

    auto *workspace = new ImageCompressionWorkspace(std::move(actions));
    workspace->setInputs(session->compressionSources(), session->selectedCompressionSourceID(),
                         session->compressionResults(), session->compressionSettings(),
                         session->isCompressingImages(), session->lastRunReport(), session->pendingCrops());
    connect(session, &ImageCompressionSession::compressionSourcesChanged, workspace,
            [session, workspace] { workspace->setSources(session->compressionSources()); });
    connect(session, &ImageCompressionSession::selectedCompressionSourceIDChanged, workspace,
            [session, workspace] { workspace->setSelectedSourceID(session->selectedCompressionSourceID()); });
    connect(session, &ImageCompressionSession::compressionResultsChanged, workspace,
            [session, workspace] { workspace->setResults(session->compressionResults()); });
    connect(session, &ImageCompressionSession::lastRunReportChanged, workspace,
            [session, workspace] { workspace->setLastRunReport(session->lastRunReport()); });
    connect(session, &ImageCompressionSession::compressionSettingsChanged, workspace,
            [session, workspace] { workspace->setSettings(session->compressionSettings()); });
    connect(session, &ImageCompressionSession::isCompressingImagesChanged, workspace,
            [session, workspace] { workspace->setCompressing(session->isCompressingImages()); });
    return workspace;
}
