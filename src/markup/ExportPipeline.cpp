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

} // namespace ExportPipeline
