// Encoders of the rendered images: PNG, JPEG and a multi-page PDF.
#include "markup/AnnotationRenderer.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace AnnotationRenderer {

namespace {

std::optional<QByteArray> encode(const std::optional<QImage> &bitmap, const char *format, int quality)
{
    if (!bitmap)
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(*bitmap) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace

int jpegQuality(double quality)
{
    const double q = std::isnan(quality) ? 0.1 : std::clamp(quality, 0.1, 1.0);
    return int(std::lround(q * 100));
}

std::optional<QByteArray> pngData(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations)
{
    return encode(renderedBitmap(baseImage, annotations), "png", -1);
}

std::optional<QByteArray> jpegData(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations,
                                   double quality)
{
    return encode(renderedBitmap(baseImage, annotations), "jpeg", jpegQuality(quality));
}

int writePdf(const std::vector<AnnotationRenderPage> &pages, QIODevice &device, std::vector<qsizetype> *skippedPages)
{
    QPdfWriter writer(&device);
    // One pixel is one PDF unit (1/72 inch), with nothing around the image.
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    QPainter painter;
    int written = 0;
    // Each page is rendered, drawn and dropped before the next, so only one bitmap is held at a
    // time and the writer streams the document into the device.
    for (size_t index = 0; index < pages.size(); ++index) {
        const AnnotationRenderPage &page = pages[index];
        const std::optional<QImage> bitmap = renderedBitmap(page.image.image(), page.annotations);
        if (!bitmap) {
            if (skippedPages)
                skippedPages->push_back(qsizetype(index));
            continue;
        }
        const QSizeF size(bitmap->width(), bitmap->height());
        // An exact size: the default fuzzy match would snap e.g. 595 × 842 to A4.
        writer.setPageSize(QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch));
        if (written == 0) {
            if (!painter.begin(&writer))
                return 0;
        } else if (!writer.newPage()) {
            break;
        }
        // Without it the PDF engine would JPEG-compress the page image.
        painter.setRenderHint(QPainter::LosslessImageRendering);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), size), *bitmap);
        ++written;
    }
    if (painter.isActive())
        painter.end();
    return written;
}

std::optional<QByteArray> pdfData(const std::vector<AnnotationRenderPage> &pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    const int written = writePdf(pages, buffer);
    buffer.close();
    // A document without a page is no export, whatever bytes the writer left behind.
    if (written == 0 || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace AnnotationRenderer
