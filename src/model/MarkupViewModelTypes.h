#pragma once

#include "model/ImageHandle.h"
#include "model/ImageItems.h"
#include "model/JsonSupport.h"
#include "model/MarkupAnnotation.h"
#include "model/RawValue.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Value types that belong to MarkupViewModel (available there as MarkupViewModel::StylePreset and
// so on). They live in their own header so that code which only needs a type need not pull in the
// whole view model.

// The file format of a Desktop export.
enum class ImageExportFormat { Png, Jpeg, Pdf };

template<>
struct RawValueTable<ImageExportFormat> {
    static constexpr std::array<std::pair<ImageExportFormat, const char *>, 3> entries{{
        {ImageExportFormat::Png, "png"},
        {ImageExportFormat::Jpeg, "jpeg"},
        {ImageExportFormat::Pdf, "pdf"},
    }};
};

// The ratio forced on a crop rectangle.
enum class CropAspectRatio { Free, Square, Wide, Standard, Original };

template<>
struct RawValueTable<CropAspectRatio> {
    static constexpr std::array<std::pair<CropAspectRatio, const char *>, 5> entries{{
        {CropAspectRatio::Free, "free"},
        {CropAspectRatio::Square, "square"},
        {CropAspectRatio::Wide, "wide"},
        {CropAspectRatio::Standard, "standard"},
        {CropAspectRatio::Original, "original"},
    }};
};

namespace CropAspectRatios {
// The name shown by the crop controls: "自由", "1:1", "16:9", "4:3", "原图".
QString title(CropAspectRatio ratio);
// The width-to-height ratio the choice forces; nothing for a free rectangle or when the image's
// own ratio is unusable.
std::optional<double> widthToHeight(CropAspectRatio ratio, QSizeF pixelSize);
} // namespace CropAspectRatios

// The corner of the crop rectangle being dragged.
enum class CropCorner { TopLeft, TopRight, BottomLeft, BottomRight };

// Whether a selection (and the drag after it) is on an annotation's shape or on its label.
enum class AnnotationSelectionPart { Shape, Label };

// Which text comparison export is made: the whole comparison or the edited page alone.
enum class TextComparisonExportKind { Full, EditedPage };

// Everything of one image item that undo restores: every field except id and fileName.
struct ImageUndoSnapshot {
    ImageHandle image;
    ImageHandle thumbnail;
    QSizeF pixelSize{0, 0};
    std::vector<MarkupAnnotation> annotations;
    std::optional<QString> sourceURL;
    std::optional<QString> savedURL;
};

// The style given to new annotations, kept in the preferences.
struct StylePreset {
    QString colorHex = QStringLiteral("#DC2626");
    double lineWidth = 4;
    double fontSize = 26;
    std::optional<double> labelWidth;

    bool operator==(const StylePreset &) const = default;

    // colorHex, lineWidth and fontSize always; labelWidth only when present. Throws
    // Json::EncodeError for a non-finite number.
    QJsonObject toJson() const;
    // colorHex, lineWidth and fontSize required; labelWidth optional. Throws Json::DecodeError.
    static StylePreset fromJson(const QJsonValue &value, const QString &path = {});
};

// The result of pairing two folders by file name.
struct ComparisonBatchImportResult {
    std::vector<ComparisonPairState> pairs;
    QStringList unmatchedBefore;
    QStringList unmatchedAfter;

    bool operator==(const ComparisonBatchImportResult &) const = default;
};
