// The eyedropper: the colour of the pixel under the pointer, and picking it as the colour of the
// annotations drawn next.
#include "model/MarkupViewModel.h"

#include <QColorSpace>
#include <QColorTransform>

#include <algorithm>
#include <cmath>

namespace {

// The pixel index under a canvas coordinate: floor of the scaled position, clamped into the
// image, so the right and bottom edges of the canvas sample the last column and row.
std::optional<int> pixelIndex(double position, double canvasExtent, int pixelExtent)
{
    const double scaled = std::floor(position / canvasExtent * pixelExtent);
    if (std::isnan(scaled))
        return std::nullopt;
    return int(std::clamp(scaled, 0.0, double(pixelExtent - 1)));
}

int channel(float component)
{
    return int(std::clamp<long>(std::lround(double(component) * 255), 0, 255));
}

} // namespace

std::optional<ColorSamplePreview> MarkupViewModel::colorSample(QPointF point, QSizeF canvasSize) const
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index || !(canvasSize.width() > 0 && canvasSize.height() > 0))
        return std::nullopt;
    // One pixel of the held picture: no copy, no conversion of the whole image.
    const QImage bitmap = m_items[size_t(*index)].image.image();
    if (bitmap.isNull())
        return std::nullopt;
    const std::optional<int> x = pixelIndex(point.x(), canvasSize.width(), bitmap.width());
    const std::optional<int> y = pixelIndex(point.y(), canvasSize.height(), bitmap.height());
    if (!x || !y)
        return std::nullopt;
    // pixelColor() gives the straight (not premultiplied) colour whatever the pixel format.
    QColor color = bitmap.pixelColor(*x, *y);
    if (!color.isValid())
        return std::nullopt;
    const QColorSpace space = bitmap.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        color = space.transformationToColorSpace(QColorSpace::SRgb).map(color);
    const QColor rgb = color.toRgb();
    ColorSamplePreview preview;
    preview.color = SampledImageColor(channel(rgb.redF()), channel(rgb.greenF()), channel(rgb.blueF()),
                                      channel(rgb.alphaF()));
    preview.canvasPoint = point;
    preview.pixelPoint = QPointF(*x, *y);
    return preview;
}

void MarkupViewModel::updateColorSamplePreview(QPointF point, QSizeF canvasSize)
{
    if (m_isColorSampleLocked)
        return;
    if (m_selectedTool != MarkupTool::Eyedropper) {
        setColorSamplePreview(std::nullopt);
        return;
    }
    setColorSamplePreview(colorSample(point, canvasSize));
}

void MarkupViewModel::sampleColor(QPointF point, QSizeF canvasSize)
{
    const std::optional<ColorSamplePreview> sample = colorSample(point, canvasSize);
    if (!sample) {
        setStatusMessage(QStringLiteral("当前图片无法取色"));
        setColorSamplePreview(std::nullopt);
        setColorSampleLocked(false);
        return;
    }
    setColorSamplePreview(sample);
    setColorSampleLocked(true);
    const QString hex = sample->color.hex();
    m_stylePreset.colorHex = hex;
    saveStylePreset();
    setMomentStatusMessage(StatusMoment::ColorSample,
                           QStringLiteral("已取色 ") + hex + QStringLiteral("，点击 HEX、RGB 或 CMYK 可复制"));
}
