#include "markup/BackgroundDesktopSave.h"

#include "model/MarkupViewModel.h"
#include "platform/ParallelWork.h"
#include "platform/ThreadPriority.h"

#include <system_error>
#include <utility>

BackgroundDesktopSave::BackgroundDesktopSave(MarkupViewModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
{
}

BackgroundDesktopSave::~BackgroundDesktopSave()
{
    // Before the QObject goes: the save's thread posts to this object until its last step.
    if (m_thread.joinable())
        m_thread.join();
}

bool BackgroundDesktopSave::start(ImageExportFormat format, double jpegQuality)
{
    if (m_plan || format == ImageExportFormat::Pdf)
        return false;
    std::optional<DesktopImageSave::Plan> plan = DesktopImageSave::selectedImages(m_model, format, jpegQuality);
    if (!plan)
        return false;
    m_plan = std::make_shared<const DesktopImageSave::Plan>(std::move(*plan));
    m_results = std::make_shared<std::vector<DesktopExport::JobResult>>();
    m_model.setSavingImagesToDesktop(true);
    showProgress(0);
    // A thread started by the save inherits its lower priority; the shared pool, whose threads
    // live for the whole session, starts any it still lacks now, from here, at the usual one.
    ParallelWork::forEach(64, [](int) {});
    auto work = [this, plan = m_plan, results = m_results](bool ownThread) {
        // A thread of its own, so the lower priority (which its encoding threads inherit) ends
        // with the save.
        if (ownThread)
            ThreadPriority::lowerForBackgroundWork();
        try {
            *results = DesktopImageSave::makeFiles(*plan, [this](size_t done) {
                QMetaObject::invokeMethod(this, [this, done] { showProgress(done); }, Qt::QueuedConnection);
            });
        } catch (...) {
            // Out of memory, say: the images not done count as not made.
        }
        results->resize(plan->jobs.size());
        // The last thing the save does; its outcome is applied after every count.
        QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
    };
    try {
        m_thread = std::thread(work, true);
    } catch (const std::system_error &) {
        work(false); // no thread to be had: the save is made here, and applied as usual
    }
    return true;
}

void BackgroundDesktopSave::showProgress(size_t done)
{
    if (m_plan)
        m_model.setStatusMessage(DesktopImageSave::progressText(done, m_plan->jobs.size()));
}

void BackgroundDesktopSave::finish()
{
    if (m_thread.joinable())
        m_thread.join(); // its work has ended but for returning
    const std::shared_ptr<const DesktopImageSave::Plan> plan = std::exchange(m_plan, nullptr);
    const std::shared_ptr<std::vector<DesktopExport::JobResult>> results = std::exchange(m_results, nullptr);
    if (!plan)
        return;
    const QStringList written = DesktopImageSave::applyOutcome(m_model, *plan, *results);
    m_model.setSavingImagesToDesktop(false);
    Q_EMIT finished(written);
}
