#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextComparisonChange.h"
#include "textengine/TextComparisonResult.h"

#include <QByteArray>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>
#include <utility>
#include <vector>

// The comparison as one finished page, PNG or one-page PDF: the full page (original aligned
// with the edited text, side by side) or the edited page alone, with change highlights and
// badges, the user's markups and their note bubbles. Also a page for a single markup. Every page
// draws the comparison result it is given (the one the editor shows for the same texts): nothing
// here compares the texts again.
//
// A text taller than the page's cap is cut at the bottom of its card; the cut card then shows
// truncationMarker, and *truncated (when given) tells the caller so it can say so.
namespace TextComparisonRenderer {

inline const QString truncationMarker = QStringLiteral("……（以下内容超出页面，未显示）");

std::optional<QByteArray> pngData(const TextComparisonState &state, const TextComparisonResult &result,
                                  const QString &title, qreal width, qreal scale, bool *truncated = nullptr);
std::optional<QByteArray> pdfData(const TextComparisonState &state, const TextComparisonResult &result,
                                  const QString &title, qreal width, bool *truncated = nullptr);
std::optional<QByteArray> editedPagePNGData(const TextComparisonState &state, const TextComparisonResult &result,
                                            const QString &title, qreal width, qreal scale, bool *truncated = nullptr);
std::optional<QByteArray> editedPagePDFData(const TextComparisonState &state, const TextComparisonResult &result,
                                            const QString &title, qreal width, bool *truncated = nullptr);

// The page geometry the functions above draw with (exposed for callers that need to know the
// size before rendering, and for checks).
struct PageGeometry {
    QSizeF pageSize;
    std::vector<QRectF> cards; // full page: original, edited; edited page: edited
    bool truncated = false;
};
PageGeometry fullPageGeometry(const TextComparisonState &state, const TextComparisonResult &result, qreal width);
PageGeometry editedPageGeometry(const TextComparisonState &state, const TextComparisonResult &result, qreal width);

QFont bodyFont();

// A page for one markup: its number, its kinds of marking, its note, and excerpts around it
// from the aligned original and from the edited text. Nothing when no markup has the id.
struct AnnotationSnippet {
    QString text;
    std::optional<std::pair<qsizetype, qsizetype>> annotationRange; // (location, length) in text
    bool operator==(const AnnotationSnippet &) const = default;
};

struct AnnotationPageModel {
    QString title;
    QString sourceName;
    QString markerText;
    QString styleSummary;
    QString noteText;
    AnnotationSnippet originalSnippet;
    AnnotationSnippet editedSnippet;
    TextMarkupAnnotation annotation;
};

std::optional<QByteArray> annotationPagePNGData(const TextComparisonState &state, const TextComparisonResult &result,
                                                const QUuid &annotationID, qreal width, qreal scale);
std::optional<QByteArray> annotationPagePDFData(const TextComparisonState &state, const TextComparisonResult &result,
                                                const QUuid &annotationID, qreal width);
AnnotationPageModel makeAnnotationPageModel(const TextComparisonState &state, const TextComparisonResult &result,
                                            const TextMarkupAnnotation &annotation);
AnnotationSnippet makeAnnotationSnippet(const QString &text, const TextMarkupAnnotation &annotation);
QStringList annotationStyleNames(const TextMarkupAnnotation &annotation);
QSizeF annotationPageSize(const AnnotationPageModel &model, qreal width);

} // namespace TextComparisonRenderer
