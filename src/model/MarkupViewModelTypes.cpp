#include "model/MarkupViewModelTypes.h"

#include <cmath>

namespace CropAspectRatios {

QString title(CropAspectRatio ratio)
{
    switch (ratio) {
    case CropAspectRatio::Free:
        return QStringLiteral("自由");
    case CropAspectRatio::Square:
        return QStringLiteral("1:1");
    case CropAspectRatio::Wide:
        return QStringLiteral("16:9");
    case CropAspectRatio::Standard:
        return QStringLiteral("4:3");
    case CropAspectRatio::Original:
        return QStringLiteral("原图");
    }
    return QString();
}

std::optional<double> widthToHeight(CropAspectRatio choice, QSizeF pixelSize)
{
    switch (choice) {
    case CropAspectRatio::Free:
        return std::nullopt;
    case CropAspectRatio::Square:
        return 1.0;
    case CropAspectRatio::Wide:
        return 16.0 / 9.0;
    case CropAspectRatio::Standard:
        return 4.0 / 3.0;
    case CropAspectRatio::Original: {
        const double width = pixelSize.width();
        const double height = pixelSize.height();
        if (width > 0 && height > 0 && width / height > 0 && std::isfinite(width / height))
            return width / height;
        return std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace CropAspectRatios

QJsonObject StylePreset::toJson() const
{
    QJsonObject object;
    object.insert(QStringLiteral("colorHex"), colorHex);
    object.insert(QStringLiteral("lineWidth"), Json::finiteNumber(lineWidth, QStringLiteral("lineWidth")));
    object.insert(QStringLiteral("fontSize"), Json::finiteNumber(fontSize, QStringLiteral("fontSize")));
    if (labelWidth)
        object.insert(QStringLiteral("labelWidth"), Json::finiteNumber(*labelWidth, QStringLiteral("labelWidth")));
    return object;
}

StylePreset StylePreset::fromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    StylePreset preset;
    preset.colorHex = reader.string(QStringLiteral("colorHex"));
    preset.lineWidth = reader.number(QStringLiteral("lineWidth"));
    preset.fontSize = reader.number(QStringLiteral("fontSize"));
    preset.labelWidth = reader.optionalNumber(QStringLiteral("labelWidth"));
    return preset;
}
