#include "model/MarkupViewModel.h"

#include "textengine/TextComparisonRules.h"

#include "model/MarkupViewModelChange.h"
#include "model/TextRules.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>

MarkupViewModel::MarkupViewModel(QSettings &defaults, QObject *parent)
    : QObject(parent)
    , m_autosaveTimer(new QTimer(this))
    , m_defaults(defaults)
{
    // A pending autosave is this one timer: restarting it replaces the previous request, stopping
    // it cancels, and it cannot outlive the view model.
    m_autosaveTimer->setSingleShot(true);
    m_autosaveTimer->setInterval(500);

    m_toolOrder = loadToolOrder(m_defaults);
    m_pointerInteractionSettings = loadPointerInteractionSettings(m_defaults);
    m_headerToolbarOrders = loadHeaderToolbarOrders(m_defaults);
    m_stylePreset = loadStylePreset(m_defaults);
    setArrowLineWidth(m_stylePreset.lineWidth);
}

MarkupViewModel::~MarkupViewModel() = default;

void MarkupViewModel::setItems(std::vector<ImageMarkupItem> items)
{
    assign(m_items, std::move(items), &MarkupViewModel::itemsChanged);
}

void MarkupViewModel::setSelectedItemID(std::optional<QUuid> id)
{
    assign(m_selectedItemID, id, &MarkupViewModel::selectedItemIDChanged);
}

void MarkupViewModel::setSelectedImageItemIDs(QSet<QUuid> ids)
{
    assign(m_selectedImageItemIDs, std::move(ids), &MarkupViewModel::selectedImageItemIDsChanged);
}

void MarkupViewModel::setSelectedTool(MarkupTool tool)
{
    assign(m_selectedTool, tool, &MarkupViewModel::selectedToolChanged);
    if (tool != MarkupTool::Crop)
        endStatusMoment(StatusMoment::Crop);
    // Only the eyedropper keeps its sample; every other choice, the same tool again included,
    // drops it.
    if (tool != MarkupTool::Eyedropper) {
        setColorSamplePreview(std::nullopt);
        setColorSampleLocked(false);
    }
}

void MarkupViewModel::setToolOrder(std::vector<MarkupTool> order)
{
    assign(m_toolOrder, std::move(order), &MarkupViewModel::toolOrderChanged);
}

void MarkupViewModel::setPointerInteractionSettings(const PointerInteractionSettings &settings)
{
    assign(m_pointerInteractionSettings, settings, &MarkupViewModel::pointerInteractionSettingsChanged);
}

void MarkupViewModel::setHeaderToolbarOrders(HeaderToolbarOrders orders)
{
    assign(m_headerToolbarOrders, std::move(orders), &MarkupViewModel::headerToolbarOrdersChanged);
}

void MarkupViewModel::setSelectedAnnotationID(std::optional<QUuid> id)
{
    assign(m_selectedAnnotationID, id, &MarkupViewModel::selectedAnnotationIDChanged);
}

void MarkupViewModel::setSelectedAnnotationIDs(QSet<QUuid> ids)
{
    assign(m_selectedAnnotationIDs, std::move(ids), &MarkupViewModel::selectedAnnotationIDsChanged);
}

void MarkupViewModel::setSelectedAnnotationPart(AnnotationSelectionPart part)
{
    assign(m_selectedAnnotationPart, part, &MarkupViewModel::selectedAnnotationPartChanged);
}

void MarkupViewModel::setDraftAnnotation(std::optional<MarkupAnnotation> annotation)
{
    assign(m_draftAnnotation, std::move(annotation), &MarkupViewModel::draftAnnotationChanged);
}

void MarkupViewModel::setSelectionRect(std::optional<QRectF> rect)
{
    assign(m_selectionRect, rect, &MarkupViewModel::selectionRectChanged);
}

void MarkupViewModel::setCropRect(std::optional<QRectF> rect)
{
    assign(m_cropRect, rect, &MarkupViewModel::cropRectChanged);
}

void MarkupViewModel::setColorSamplePreview(std::optional<ColorSamplePreview> preview)
{
    assign(m_colorSamplePreview, preview, &MarkupViewModel::colorSamplePreviewChanged);
}

void MarkupViewModel::setColorSampleLocked(bool locked)
{
    assign(m_isColorSampleLocked, locked, &MarkupViewModel::isColorSampleLockedChanged);
    // The sample's values are no longer there to be copied.
    if (!locked)
        endStatusMoment(StatusMoment::ColorSample);
}

void MarkupViewModel::setEditingTextAnnotationID(std::optional<QUuid> id)
{
    assign(m_editingTextAnnotationID, id, &MarkupViewModel::editingTextAnnotationIDChanged);
    if (!id)
        endStatusMoment(StatusMoment::LabelEditing);
}

void MarkupViewModel::setArrowLineWidth(double width)
{
    assign(m_arrowLineWidth, width, &MarkupViewModel::arrowLineWidthChanged);
}

void MarkupViewModel::setCropAspectRatio(CropAspectRatio ratio)
{
    assign(m_cropAspectRatio, ratio, &MarkupViewModel::cropAspectRatioChanged);
}

void MarkupViewModel::setStatusMessage(const QString &message)
{
    m_statusMoment.reset();
    assign(m_statusMessage, message, &MarkupViewModel::statusMessageChanged);
}

void MarkupViewModel::setMomentStatusMessage(StatusMoment moment, const QString &message)
{
    setStatusMessage(message);
    m_statusMoment = moment;
}

void MarkupViewModel::endStatusMoment(StatusMoment moment)
{
    if (m_statusMoment == moment)
        setStatusMessage(QStringLiteral("就绪"));
}

void MarkupViewModel::endStatusMoments()
{
    if (m_statusMoment)
        setStatusMessage(QStringLiteral("就绪"));
}

void MarkupViewModel::setErrorMessage(std::optional<QString> message)
{
    assign(m_errorMessage, std::move(message), &MarkupViewModel::errorMessageChanged);
}

void MarkupViewModel::setSavingImagesToDesktop(bool saving)
{
    assign(m_isSavingImagesToDesktop, saving, &MarkupViewModel::isSavingImagesToDesktopChanged);
}

void MarkupViewModel::setPendingTextFocusID(std::optional<QUuid> id)
{
    assign(m_pendingTextFocusID, id, &MarkupViewModel::pendingTextFocusIDChanged);
}

void MarkupViewModel::setComparisonPairs(std::vector<ComparisonPairState> pairs)
{
    assign(m_comparisonPairs, std::move(pairs), &MarkupViewModel::comparisonPairsChanged);
}

void MarkupViewModel::setSelectedComparisonPairID(std::optional<QUuid> id)
{
    assign(m_selectedComparisonPairID, id, &MarkupViewModel::selectedComparisonPairIDChanged);
}

void MarkupViewModel::setTextComparison(std::optional<TextComparisonState> state)
{
    assign(m_textComparison, std::move(state), &MarkupViewModel::textComparisonChanged);
}

void MarkupViewModel::setProjectURL(std::optional<QString> path)
{
    assign(m_projectURL, std::move(path), &MarkupViewModel::projectURLChanged);
}

TextComparisonState MarkupViewModel::normalizedTextComparison(TextComparisonState state)
{
    return TextComparisonRules::normalizedTextComparison(std::move(state));
}
