// The crop tool: dragging and reshaping the crop rectangle, forcing an aspect ratio, and making a
// new image of the chosen part. Confirming never changes the image the rectangle was drawn on.
#include "model/MarkupViewModel.h"

#include "model/InteractionReset.h"

#include "markup/ExportFileNames.h"
#include "platform/ImageDecoding.h"
#include "platform/Rect.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double thumbnailMaxDimension = 96;
// Smaller crops (in canvas points) are refused: too small to be a useful image of their own.
constexpr double minimumCropPoints = 8;

struct CropExtent {
    double width;
    double height;
};

// Shrinks one side so that width / height equals the ratio; never grows either side. A height
// below 1 counts as 1 in the comparison, so a flat drag does not divide by (almost) zero.
CropExtent fitToRatio(double width, double height, double ratio)
{
    const double comparedHeight = height < 1 ? 1 : height;
    if (ratio < width / comparedHeight)
        return {height * ratio, height};
    return {width, width / ratio};
}

Rect canvasRect(QSizeF canvasSize)
{
    return {0, 0, canvasSize.width(), canvasSize.height()};
}

std::optional<QRectF> storedRect(const Rect &rect)
{
    if (rect.isNull())
        return std::nullopt;
    return rect.toQRectF();
}

// The rectangle of a drag from s to c. A forced ratio grows it from s towards c.
Rect dragRect(QPointF s, QPointF c, QSizeF canvasSize, std::optional<double> ratio)
{
    if (!ratio)
        return Rect::spanning(s, c);
    if (c == s)
        return {s.x(), s.y(), 0, 0};
    const CropExtent fitted = fitToRatio(std::abs(c.x() - s.x()), std::abs(c.y() - s.y()), *ratio);
    const double x = s.x() <= c.x() ? s.x() : s.x() - fitted.width;
    const double y = s.y() <= c.y() ? s.y() : s.y() - fitted.height;
    return Rect(x, y, fitted.width, fitted.height).intersected(canvasRect(canvasSize));
}

// The rectangle re-shaped to the ratio about its centre, kept inside the canvas.
Rect fittedCropRect(const Rect &rect, double ratio, QSizeF canvasSize)
{
    const Rect canvas = canvasRect(canvasSize);
    const Rect r = rect.intersected(canvas);
    if (r.isNull() || !(r.width > 0 && r.height > 0))
        return rect;
    const double mx = r.midX();
    const double my = r.midY();
    const CropExtent fitted = fitToRatio(r.width, r.height, ratio);
    const double W = canvasSize.width();
    const double H = canvasSize.height();
    const double maxWidth = std::min({2 * (W - mx), 2 * mx, fitted.width, W});
    const double maxHeight = std::min({2 * (H - my), 2 * my, fitted.height, H});
    const CropExtent limited = fitToRatio(maxWidth, maxHeight, ratio);
    return Rect(mx - limited.width / 2, my - limited.height / 2, limited.width, limited.height).intersected(canvas);
}

Rect boundingRect(const QList<UnitPoint2D> &points)
{
    Rect bounds = Rect::null();
    for (const UnitPoint2D &p : points)
        bounds = bounds.united(Rect(p.x, p.y, 0, 0));
    return bounds;
}

UnitPoint2D mapped(UnitPoint2D p, const Rect &u)
{
    return UnitPoint2D((p.x - u.minX()) / u.width, (p.y - u.minY()) / u.height);
}

// The annotation in the crop's unit coordinates, or nothing when it lies wholly outside the crop.
std::optional<MarkupAnnotation> croppedAnnotation(const MarkupAnnotation &annotation, const Rect &u)
{
    if (!(u.width > 0 && u.height > 0))
        return std::nullopt;
    const bool isStroke = annotation.kind == AnnotationKind::Brush && !annotation.points.empty();
    const QList<UnitPoint2D> points = isStroke ? annotation.points : QList<UnitPoint2D>{annotation.start, annotation.end};
    // A straight horizontal or vertical arrow has a bounding box without area; it still counts.
    const bool touches = boundingRect(points).intersects(u);
    const bool labelInside = annotation.labelPosition
        && u.contains(QPointF(annotation.labelPosition->x, annotation.labelPosition->y));
    if (!touches && !labelInside)
        return std::nullopt;
    MarkupAnnotation result = annotation;
    result.start = mapped(annotation.start, u);
    result.end = mapped(annotation.end, u);
    if (annotation.labelPosition)
        result.labelPosition = mapped(*annotation.labelPosition, u);
    for (UnitPoint2D &p : result.points)
        p = mapped(p, u);
    return result;
}

// base + "-裁剪.png", else "-裁剪-2.png", "-裁剪-3.png" …, unused by any image of the list.
QString croppedImageFileName(const QString &fileName, const std::vector<ImageMarkupItem> &items)
{
    const QString base = ExportFileNames::baseName(fileName);
    const auto taken = [&](const QString &name) {
        return std::any_of(items.begin(), items.end(), [&](const ImageMarkupItem &item) { return item.fileName == name; });
    };
    QString candidate = ExportFileNames::fittedFileName(base, QStringLiteral("-裁剪.png"));
    for (int n = 2; taken(candidate); ++n)
        candidate = ExportFileNames::fittedFileName(base, QStringLiteral("-裁剪-%1.png").arg(n));
    return candidate;
}

// The part of the bitmap under a canvas rectangle; a null image when it is under one pixel.
QImage croppedBitmap(const QImage &bitmap, const Rect &canvasRect, QSizeF canvasSize)
{
    if (bitmap.isNull())
        return QImage();
    const double pw = bitmap.width();
    const double ph = bitmap.height();
    const Rect pixels = Rect(canvasRect.minX() / canvasSize.width() * pw, canvasRect.minY() / canvasSize.height() * ph,
                             canvasRect.width / canvasSize.width() * pw, canvasRect.height / canvasSize.height() * ph)
                            .integral()
                            .intersected(Rect(0, 0, pw, ph));
    if (pixels.isNull() || pixels.width < 1 || pixels.height < 1)
        return QImage();
    // Whole numbers inside the bitmap after the integral and the intersection.
    return bitmap.copy(QRect(int(pixels.x), int(pixels.y), int(pixels.width), int(pixels.height)));
}

} // namespace

void MarkupViewModel::updateCropRect(QPointF start, QPointF current, QSizeF canvasSize)
{
    if (!(canvasSize.width() > 0 && canvasSize.height() > 0)) {
        setCropRect(std::nullopt);
        return;
    }
    const std::optional<ImageMarkupItem> item = selectedItem();
    const std::optional<double> ratio =
        CropAspectRatios::widthToHeight(m_cropAspectRatio, item ? item->pixelSize : QSizeF(0, 0));
    setCropRect(storedRect(dragRect(start, current, canvasSize, ratio).intersected(canvasRect(canvasSize))));
    setDraftAnnotation(std::nullopt);
    setSelectionRect(std::nullopt);
    setSelectedAnnotationID(std::nullopt);
    setSelectedAnnotationIDs({});
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
}

void MarkupViewModel::resizeCropRect(CropCorner corner, QPointF point, QSizeF canvasSize)
{
    if (!m_cropRect)
        return;
    const Rect rect = Rect::fromQRectF(*m_cropRect).standardized();
    if (rect.isEmpty())
        return;
    QPointF fixed;
    switch (corner) {
    case CropCorner::TopLeft:
        fixed = {rect.maxX(), rect.maxY()};
        break;
    case CropCorner::TopRight:
        fixed = {rect.minX(), rect.maxY()};
        break;
    case CropCorner::BottomLeft:
        fixed = {rect.maxX(), rect.minY()};
        break;
    case CropCorner::BottomRight:
        fixed = {rect.minX(), rect.minY()};
        break;
    }
    updateCropRect(fixed, point, canvasSize);
}

void MarkupViewModel::setCropAspectRatio(CropAspectRatio ratio, std::optional<QSizeF> canvasSize)
{
    setCropAspectRatio(ratio);
    if (canvasSize) {
        if (ratio == CropAspectRatio::Original) {
            setCropRect(canvasRect(*canvasSize).toQRectF());
        } else if (m_cropRect && canvasSize->width() > 0 && canvasSize->height() > 0) {
            const Rect rect = Rect::fromQRectF(*m_cropRect);
            const std::optional<ImageMarkupItem> item = selectedItem();
            const std::optional<double> forced =
                CropAspectRatios::widthToHeight(ratio, item ? item->pixelSize : QSizeF(0, 0));
            if (!rect.isEmpty() && forced)
                setCropRect(storedRect(fittedCropRect(rect, *forced, *canvasSize)));
        }
    }
    setMomentStatusMessage(StatusMoment::Crop, QStringLiteral("裁剪比例：") + CropAspectRatios::title(ratio));
}

void MarkupViewModel::cancelCrop()
{
    setCropRect(std::nullopt);
    setStatusMessage(QStringLiteral("已取消裁剪"));
}

bool MarkupViewModel::confirmCrop(QSizeF canvasSize)
{
    const std::optional<qsizetype> index = selectedIndex();
    const double W = canvasSize.width();
    const double H = canvasSize.height();
    if (!index || !m_cropRect || !(W > 0 && H > 0)) {
        setMomentStatusMessage(StatusMoment::Crop, QStringLiteral("请先拖出裁剪区域"));
        return false;
    }
    const auto fail = [this] {
        setErrorMessage(QStringLiteral("裁剪区域太小或图片无法裁剪"));
        return false;
    };
    const Rect r = Rect::fromQRectF(*m_cropRect).intersected(canvasRect(canvasSize)).integral();
    if (r.isNull() || r.width < minimumCropPoints || r.height < minimumCropPoints)
        return fail();

    const ImageMarkupItem &source = m_items[size_t(*index)];
    // Cut straight from the held pixels: no encoder round trip, and exactly what was imported.
    const QImage cropped = croppedBitmap(source.image.image(), r, canvasSize);
    if (cropped.isNull())
        return fail();

    const Rect unitCrop(r.minX() / W, r.minY() / H, r.width / W, r.height / H);
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = croppedImageFileName(source.fileName, m_items);
    item.image = ImageHandle(cropped);
    item.thumbnail = ImageHandle(ImageDecoding::makeThumbnail(cropped, thumbnailMaxDimension));
    item.pixelSize = QSizeF(cropped.width(), cropped.height());
    // The kept annotations keep their ids and count again from 1 in the new image (the numbering
    // rule of renumberAnnotations, applied here so the list is published once).
    qint64 counter = 1;
    for (const MarkupAnnotation &annotation : source.annotations) {
        std::optional<MarkupAnnotation> kept = croppedAnnotation(annotation, unitCrop);
        if (!kept)
            continue;
        if (kept->shouldNumber())
            kept->sequenceNumber = counter++;
        else
            kept->sequenceNumber.reset();
        item.annotations.push_back(std::move(*kept));
    }
    const QUuid newID = item.id;
    const QString newName = item.fileName;

    std::vector<ImageMarkupItem> items = m_items;
    items.insert(items.begin() + *index + 1, std::move(item));
    setItems(std::move(items));

    InteractionReset::clear(*this, InteractionReset::AnnotationSelection | InteractionReset::Draft
                                       | InteractionReset::TextEditing);
    selectItem(newID);
    setStatusMessage(QStringLiteral("已新建裁剪图片：") + newName);
    return true;
}
