#include "markup/BackgroundDesktopSave.h"

#include "model/MarkupViewModel.h"
#include "platform/ParallelWork.h"

#include <utility>

BackgroundDesktopSave::BackgroundDesktopSave(MarkupViewModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
{
}

BackgroundDesktopSave::~BackgroundDesktopSave()
{
    // Before the QObject goes: the worker posts to this object until its last step.
    m_work.reset();
}

bool BackgroundDesktopSave::start(ImageExportFormat format, double jpegQuality)
{
    if (m_work || format == ImageExportFormat::Pdf)
        return false;
    std::optional<DesktopImageSave::Plan> plan = DesktopImageSave::selectedImages(m_model, format, jpegQuality);
    if (!plan)
        return false;
    m_plan = std::make_shared<const DesktopImageSave::Plan>(std::move(*plan));
    m_results = std::make_shared<std::vector<DesktopExport::JobResult>>();
    m_model.setSavingImagesToDesktop(true);
    showProgress(0);
    m_work = std::make_unique<ParallelWork::Background>([this, plan = m_plan, results = m_results] {
        try {
            *results = DesktopImageSave::makeFiles(*plan, [this](size_t done) {
                QMetaObject::invokeMethod(this, [this, done] { showProgress(done); }, Qt::QueuedConnection);
            });
        } catch (...) {
            // Out of memory or threads, say: the images not done count as not made.
        }
        results->resize(plan->jobs.size());
        // The last thing the worker does here; the outcome is applied after every count.
        QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
    });
    return true;
}

void BackgroundDesktopSave::showProgress(size_t done)
{
    if (m_plan)
        m_model.setStatusMessage(DesktopImageSave::progressText(done, m_plan->jobs.size()));
}

void BackgroundDesktopSave::finish()
{
    m_work.reset(); // its work has ended but for returning
    const std::shared_ptr<const DesktopImageSave::Plan> plan = std::exchange(m_plan, nullptr);
    const std::shared_ptr<std::vector<DesktopExport::JobResult>> results = std::exchange(m_results, nullptr);
    const QStringList written = DesktopImageSave::applyOutcome(m_model, *plan, *results);
    m_model.setSavingImagesToDesktop(false);
    Q_EMIT finished(written);
}
