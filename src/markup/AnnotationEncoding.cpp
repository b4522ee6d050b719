// Encoders of the rendered images: PNG, JPEG and a multi-page PDF.
#include "markup/AnnotationRenderer.h"

#include "markup/ExportPipeline.h"
#include "platform/PdfImageWriter.h"
#include "platform/PngEncoder.h"

#include <QBuffer>
#include <QImageWriter>

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
    const std::optional<QImage> bitmap = renderedBitmap(baseImage, annotations);
    if (!bitmap)
        return std::nullopt;
    return PngEncoder::encodeOpaque(*bitmap);
}

std::optional<QByteArray> jpegData(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations,
                                   double quality)
{
    return encode(renderedBitmap(baseImage, annotations), "jpeg", jpegQuality(quality));
}

int writePdf(const std::vector<AnnotationRenderPage> &pages, QIODevice &device, std::vector<qsizetype> *skippedPages)
{
    struct Page {
        int width = 0;
        int height = 0;
        // The compressed picture; nothing when it could not be rendered or encoded.
        std::optional<QByteArray> imageData;
    };
    // One pixel is one point, with nothing around the picture. Pages are rendered and compressed
    // several at a time and appended in order, so only the pages in flight are held and the
    // document streams into the device.
    PdfImageWriter writer(device);
    const auto skip = [&](size_t index) {
        if (skippedPages)
            skippedPages->push_back(qsizetype(index));
    };
    ExportPipeline::run<Page>(
        pages.size(), [&](size_t i) { return pages[i].image.image(); },
        [&](size_t i, QImage image) {
            Page page;
            std::optional<QImage> bitmap = renderedBitmap(image, pages[i].annotations);
            image = QImage();
            if (!bitmap)
                return page;
            page.width = bitmap->width();
            page.height = bitmap->height();
            std::optional<QByteArray> png = PngEncoder::encodeOpaque(*bitmap);
            bitmap.reset();
            if (png)
                page.imageData = PngEncoder::imageData(std::move(*png));
            return page;
        },
        [&](size_t i, std::optional<Page> page) {
            if (!page || !page->imageData) {
                skip(i);
                return true;
            }
            // A device that refuses bytes ends the document here.
            return writer.addPage(page->width, page->height, *page->imageData);
        });
    if (writer.pageCount() == 0)
        return 0;
    // A failed write leaves the device in its error state (a QSaveFile then refuses to commit).
    writer.finish();
    return writer.pageCount();
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
