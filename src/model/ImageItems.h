#pragma once

#include "model/ImageHandle.h"
#include "model/MarkupAnnotation.h"

#include <QSizeF>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

// One image of the image markup list. Pictures are not compared by ==.
struct ImageMarkupItem {
    QUuid id;
    QString fileName;
    std::optional<QString> sourceURL; // absolute local path of the imported file
    ImageHandle image;
    ImageHandle thumbnail;
    QSizeF pixelSize{0, 0};
    std::vector<MarkupAnnotation> annotations;
    std::optional<QString> savedURL; // the file this image was last exported to

    bool operator==(const ImageMarkupItem &other) const
    {
        return id == other.id && fileName == other.fileName && sourceURL == other.sourceURL
            && pixelSize == other.pixelSize && annotations == other.annotations && savedURL == other.savedURL;
    }
};

// File name, size and annotations of the selected item.
struct ImageDocumentState {
    QString fileName;
    QSizeF pixelSize{0, 0};
    std::vector<MarkupAnnotation> annotations;

    bool operator==(const ImageDocumentState &) const = default;
};

// One side of a before/after comparison. The pictures are not compared by ==. The thumbnail is a
// small copy made when the side was decoded, for the cards; it may be empty.
struct ComparisonImageState {
    QString fileName;
    ImageHandle image;
    QSizeF pixelSize{0, 0};
    ImageHandle thumbnail = {};

    bool operator==(const ComparisonImageState &other) const
    {
        return fileName == other.fileName && pixelSize == other.pixelSize;
    }
};

struct ComparisonPairState {
    QUuid id;
    ComparisonImageState before;
    ComparisonImageState after;

    bool operator==(const ComparisonPairState &) const = default;
};
