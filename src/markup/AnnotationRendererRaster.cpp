#include "markup/AnnotationRendererRaster.h"

#include "markup/AnnotationRendererRasterParts.h"
#include "platform/ParallelWork.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace AnnotationRaster {

using namespace Detail;

namespace {

// Rows per unit of parallel work: small enough to spread a few tall shapes over the threads,
// large enough that walking the shape list once per band stays cheap.
constexpr int bandHeight = 32;

QRect reachRect(const QRectF &bounds)
{
    const double left = std::floor(bounds.left()) - 1, top = std::floor(bounds.top()) - 1;
    const double right = std::ceil(bounds.right()) + 1, bottom = std::ceil(bounds.bottom()) + 1;
    // Bounds come from finite device coordinates; keep them within int before converting.
    const double limit = 1 << 30;
    auto bound = [&](double v) { return int(std::clamp(v, -limit, limit)); };
    return QRect(QPoint(bound(left), bound(top)), QPoint(bound(right) - 1, bound(bottom) - 1));
}

void paintBand(QImage &image, uchar *bits, const std::vector<Shape> &shapes, const std::vector<QRect> &reach,
               int top, int bottom, Scratch &scratch)
{
    const QRect band(0, top, image.width(), bottom - top);
    const qsizetype bytesPerLine = image.bytesPerLine();
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape &shape = shapes[i];
        const QRect region = reach[i] & shape.clip & band;
        if (region.isEmpty())
            continue;
        if (shape.kind == Shape::Kind::Stroke)
            paintStroke(shape, region, bits, bytesPerLine, scratch);
        else
            paintFill(shape, region, bits, bytesPerLine, scratch);
    }
}

} // namespace

bool supportsFormat(QImage::Format format)
{
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
}

double edgeCoverage(double s, double nx, double ny)
{
    const double length = std::hypot(nx, ny);
    if (!(length > 0))
        return std::clamp(s + 0.5, 0.0, 1.0);
    const float a = float(std::max(std::fabs(nx), std::fabs(ny)) / length);
    const float b = float(std::min(std::fabs(nx), std::fabs(ny)) / length);
    return boxCdf(float(s), a, b);
}

void paint(QImage &image, const std::vector<Shape> &shapes)
{
    if (shapes.empty() || image.isNull() || !supportsFormat(image.format()))
        return;
    uchar *bits = image.bits();
    std::vector<QRect> reach;
    reach.reserve(shapes.size());
    size_t work = 0;
    for (const Shape &shape : shapes) {
        reach.push_back(reachRect(shape.bounds) & shape.clip);
        work += size_t(reach.back().width()) * size_t(std::max(reach.back().height(), 0));
    }

    const int bands = (image.height() + bandHeight - 1) / bandHeight;
    // Threads pay off only for real work: a few small shapes are painted on the calling thread.
    const int threads = work < 250'000 ? 1
                                       : std::clamp(int(std::thread::hardware_concurrency()), 1, std::min(bands, 8));
    std::atomic<int> next{0};
    // Each thread keeps its buffers between calls: the overlay paints many small batches per band
    // (one before each label the painter draws), and buffers this size would otherwise come fresh
    // from the system, page by page, every time. The pool's threads live as long as the process.
    ParallelWork::forEach(threads, [&](int) {
        static thread_local Scratch scratch;
        for (int band = next++; band < bands; band = next++)
            paintBand(image, bits, shapes, reach, band * bandHeight, std::min(image.height(), (band + 1) * bandHeight),
                      scratch);
    });
}

} // namespace AnnotationRaster
