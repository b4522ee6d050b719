// Values computed from the stored state at each read (nothing is cached, so nothing can go
// stale), and the two zoom operations that keep the zoom within its limits.

#include "model/MarkupViewModel.h"

#include "model/MarkupViewModelChange.h"

#include <algorithm>

namespace {

// Fixed size shown by the font controls without a selection; it does not follow the preset.
constexpr double defaultDisplayedFontSize = 26;

} // namespace

std::optional<qsizetype> MarkupViewModel::selectedIndex() const
{
    if (!m_selectedItemID)
        return std::nullopt;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].id == *m_selectedItemID)
            return qsizetype(i);
    }
    return std::nullopt;
}

std::optional<ImageMarkupItem> MarkupViewModel::selectedItem() const
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index)
        return std::nullopt;
    return m_items[size_t(*index)];
}

ImageHandle MarkupViewModel::image() const
{
    const std::optional<qsizetype> index = selectedIndex();
    return index ? m_items[size_t(*index)].image : ImageHandle();
}

std::vector<MarkupAnnotation> MarkupViewModel::annotations() const
{
    const std::optional<qsizetype> index = selectedIndex();
    return index ? m_items[size_t(*index)].annotations : std::vector<MarkupAnnotation>{};
}

std::optional<ImageDocumentState> MarkupViewModel::document() const
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index)
        return std::nullopt;
    const ImageMarkupItem &item = m_items[size_t(*index)];
    return ImageDocumentState{item.fileName, item.pixelSize, item.annotations};
}

std::optional<MarkupAnnotation> MarkupViewModel::selectedAnnotation() const
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!m_selectedAnnotationID || !index)
        return std::nullopt;
    for (const MarkupAnnotation &annotation : m_items[size_t(*index)].annotations) {
        if (annotation.id == *m_selectedAnnotationID)
            return annotation;
    }
    return std::nullopt;
}

qsizetype MarkupViewModel::selectedAnnotationCount() const
{
    if (!m_selectedAnnotationIDs.isEmpty())
        return m_selectedAnnotationIDs.size();
    return m_selectedAnnotationID ? 1 : 0;
}

double MarkupViewModel::effectiveSelectedFontSize() const
{
    const std::optional<MarkupAnnotation> annotation = selectedAnnotation();
    return annotation ? annotation->fontSize : defaultDisplayedFontSize;
}

double MarkupViewModel::effectiveArrowLineWidth() const
{
    const std::optional<MarkupAnnotation> annotation = selectedAnnotation();
    if (annotation && (annotation->kind == AnnotationKind::Arrow || annotation->kind == AnnotationKind::Brush))
        return annotation->lineWidth;
    return m_arrowLineWidth;
}

double MarkupViewModel::effectiveArrowFontSize() const
{
    const std::optional<MarkupAnnotation> annotation = selectedAnnotation();
    if (annotation && annotation->kind == AnnotationKind::Arrow)
        return annotation->fontSize;
    return defaultDisplayedFontSize;
}

QSet<QUuid> MarkupViewModel::effectiveSelectedImageItemIDs() const
{
    if (!m_selectedImageItemIDs.isEmpty())
        return m_selectedImageItemIDs;
    if (m_selectedItemID)
        return QSet<QUuid>{*m_selectedItemID};
    return {};
}

std::vector<ImageMarkupItem> MarkupViewModel::selectedImageItems() const
{
    const QSet<QUuid> ids = effectiveSelectedImageItemIDs();
    std::vector<ImageMarkupItem> result;
    for (const ImageMarkupItem &item : m_items) {
        if (ids.contains(item.id))
            result.push_back(item);
    }
    return result;
}

bool MarkupViewModel::areAllImageItemsSelected() const
{
    return !m_items.empty() && m_selectedImageItemIDs.size() == qsizetype(m_items.size());
}

bool MarkupViewModel::canApplyAnnotationsToSelectedImages() const
{
    if (m_selectedImageItemIDs.size() < 2)
        return false;
    return std::any_of(m_items.begin(), m_items.end(), [this](const ImageMarkupItem &item) {
        return m_selectedImageItemIDs.contains(item.id) && !item.annotations.empty();
    });
}

bool MarkupViewModel::canExport() const
{
    return selectedIndex().has_value();
}

bool MarkupViewModel::canExportSelectedImages() const
{
    const QSet<QUuid> ids = effectiveSelectedImageItemIDs();
    return std::any_of(m_items.begin(), m_items.end(),
                       [&ids](const ImageMarkupItem &item) { return ids.contains(item.id); });
}

bool MarkupViewModel::hasProjectContent() const
{
    return !m_items.empty() || !m_comparisonPairs.empty() || m_textComparison.has_value();
}

bool MarkupViewModel::hasImageMarkupOnlyContent() const
{
    return !m_items.empty() && m_comparisonPairs.empty() && !m_textComparison.has_value();
}

bool MarkupViewModel::hasProjectSaveContent() const
{
    return m_textComparison.has_value();
}

bool MarkupViewModel::hasSavedProjectLocation() const
{
    return m_projectURL.has_value();
}

std::optional<ComparisonPairState> MarkupViewModel::comparisonPair() const
{
    if (m_selectedComparisonPairID) {
        for (const ComparisonPairState &pair : m_comparisonPairs) {
            if (pair.id == *m_selectedComparisonPairID)
                return pair;
        }
    }
    if (m_comparisonPairs.empty())
        return std::nullopt;
    return m_comparisonPairs.front();
}

std::optional<qsizetype> MarkupViewModel::selectedComparisonIndex() const
{
    const std::optional<ComparisonPairState> pair = comparisonPair();
    if (!pair)
        return std::nullopt;
    for (size_t i = 0; i < m_comparisonPairs.size(); ++i) {
        if (m_comparisonPairs[i].id == pair->id)
            return qsizetype(i);
    }
    return std::nullopt;
}

qsizetype MarkupViewModel::comparisonPairCount() const
{
    return qsizetype(m_comparisonPairs.size());
}

bool MarkupViewModel::canCompare() const
{
    return comparisonPair().has_value();
}

QString MarkupViewModel::comparisonPositionText() const
{
    const std::optional<qsizetype> index = selectedComparisonIndex();
    if (!index)
        return QStringLiteral("暂无图片对比");
    return QStringLiteral("图片对比 ") + QString::number(*index + 1) + u'/' + QString::number(comparisonPairCount());
}

void MarkupViewModel::setZoom(double zoom)
{
    // A NaN (from a fit computed on an empty view, say) would pass both bounds and leave the
    // canvas unusable; it is ignored.
    if (std::isnan(zoom))
        return;
    // Lower bound first, then the upper one.
    const double clamped = std::min(std::max(zoom, minimumZoom), maximumZoom);
    assign(m_zoom, clamped, &MarkupViewModel::zoomChanged);
}
