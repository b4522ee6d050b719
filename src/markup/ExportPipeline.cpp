#include "markup/ExportPipeline.h"

#include <QThread>

#include <algorithm>

namespace ExportPipeline {

namespace {

constexpr int bytesPerPixelInFlight = 12;

} // namespace

int workerCount()
{
    // QPainter on a QImage, text included, works outside the GUI thread; the label layout cache
    // is guarded by its own lock.
    return std::max(1, QThread::idealThreadCount());
}

qint64 budgetBytes(const QImage &picture)
{
    return DecodeBudget::pixelBytes(picture.width(), picture.height(), bytesPerPixelInFlight * 8);
}

void Places::take()
{
    const std::lock_guard lock(m_mutex);
    ++m_taken;
}

void Places::give()
{
    {
        const std::lock_guard lock(m_mutex);
        --m_taken;
    }
    m_freed.notify_all();
}

bool Places::isFree()
{
    const std::lock_guard lock(m_mutex);
    return m_taken < m_count;
}

void Places::waitForFree()
{
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [this] { return m_taken < m_count; });
}

} // namespace ExportPipeline
