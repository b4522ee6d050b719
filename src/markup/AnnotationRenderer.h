#pragma once

#include "model/ImageHandle.h"
#include "model/MarkupAnnotation.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <optional>
#include <vector>

class QIODevice;
class QPainter;

// One image to put on a PDF page.
struct AnnotationRenderPage {
    // The image as held in memory (upright, full size). Exports draw from it rather than from the
    // source file, so the annotations land on exactly the pixels the user marked up even when the
    // file has changed or moved since it was imported.
    ImageHandle image;
    // Drawn in list order.
    std::vector<MarkupAnnotation> annotations;
};

// Burns annotations into an image at its full pixel size and encodes the result. One canvas unit
// is one pixel, so every per-mille size is taken of the image's long side in pixels.
namespace AnnotationRenderer {

// The image on an opaque white background (transparent areas come out white) with the annotations
// drawn over it; nothing for an empty image or when the bitmap cannot be allocated.
std::optional<QImage> renderedBitmap(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations);

std::optional<QByteArray> pngData(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations);
// Quality is clamped to 0.1…1.0 (NaN reads as 0.1).
std::optional<QByteArray> jpegData(const QImage &baseImage, const std::vector<MarkupAnnotation> &annotations,
                                   double quality);
// The JPEG quality actually used for a requested one, 10…100.
int jpegQuality(double quality);

// Writes one PDF page per renderable image, each page as large in points as its image in pixels
// and showing it losslessly, streaming into the device. Pages that cannot be rendered are left out.
// Returns the number of pages written; with none the device content must be discarded (the writer
// has nothing to say). A device that refuses bytes ends the document early and keeps its error.
// `skippedPages`, when given, receives the indexes of the pages left out.
int writePdf(const std::vector<AnnotationRenderPage> &pages, QIODevice &device,
             std::vector<qsizetype> *skippedPages = nullptr);
// The PDF in memory; nothing when no page could be rendered.
std::optional<QByteArray> pdfData(const std::vector<AnnotationRenderPage> &pages);

// Draws annotations in list order over whatever the painter holds, in canvas space of the given size.
void drawAnnotations(QPainter &painter, const std::vector<MarkupAnnotation> &annotations, QSizeF canvasSize);
void drawArrow(QPainter &painter, const MarkupAnnotation &annotation, QSizeF canvasSize);

} // namespace AnnotationRenderer
