#include "model/MarkupViewModel.h"

#include "markup/AnnotationEditing.h"
#include "platform/Pasteboard.h"

#include <cmath>
#include <functional>

namespace {

using AnnotationEditing::clamped;
using AnnotationEditing::formatted;

bool isArrow(const MarkupAnnotation &annotation)
{
    return annotation.kind == AnnotationKind::Arrow;
}

bool isArrowOrBrush(const MarkupAnnotation &annotation)
{
    return annotation.kind == AnnotationKind::Arrow || annotation.kind == AnnotationKind::Brush;
}

// Changes the primary selected annotation of the current image in place and publishes the list;
// nothing happens without a current image or when the selection names no annotation of it.
// `renumber` re-applies the numbering afterwards (a label text change can win or lose a number).
void rewriteSelectedAnnotation(MarkupViewModel &model, const std::function<void(MarkupAnnotation &)> &change,
                               bool renumber = false)
{
    const std::optional<qsizetype> index = model.selectedIndex();
    if (!index)
        return;
    std::vector<ImageMarkupItem> items = model.items();
    std::vector<MarkupAnnotation> &list = items[size_t(*index)].annotations;
    if (model.selectedAnnotationID()) {
        if (const std::optional<size_t> at = AnnotationEditing::indexOf(list, *model.selectedAnnotationID()))
            change(list[*at]);
    }
    if (renumber)
        AnnotationEditing::renumber(list);
    model.setItems(std::move(items));
}

// The shared tail of the kind-specific style setters: when the primary selection is of a kind the
// setter applies to and its value really changes, record (on the first step of a drag) and write
// the new value. Returns whether the annotation changed.
bool rewriteSelectedStyle(MarkupViewModel &model, bool (*applies)(const MarkupAnnotation &),
                          double MarkupAnnotation::*field, double value, bool recordsUndo)
{
    const std::optional<MarkupAnnotation> selected = model.selectedAnnotation();
    if (!selected || !applies(*selected) || (*selected).*field == value)
        return false;
    if (recordsUndo)
        model.recordUndoSnapshot();
    rewriteSelectedAnnotation(model, [&](MarkupAnnotation &annotation) {
        if (applies(annotation))
            annotation.*field = value;
    });
    return true;
}

} // namespace

void MarkupViewModel::cancelCurrentOperation()
{
    setDraftAnnotation(std::nullopt);
    setSelectionRect(std::nullopt);
    setColorSamplePreview(std::nullopt);
    setColorSampleLocked(false);
    setSelectedAnnotationID(std::nullopt);
    setSelectedAnnotationIDs({});
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    setStatusMessage(QStringLiteral("已取消当前操作"));
}

void MarkupViewModel::confirmTextEditing()
{
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    setStatusMessage(QStringLiteral("文字已确认"));
}

void MarkupViewModel::updateSelectedText(const QString &text)
{
    const std::optional<MarkupAnnotation> selected = selectedAnnotation();
    if (selected && selected->text == text)
        return;
    if (!selectedIndex())
        return;
    recordUndoSnapshot();
    // A label that becomes blank loses its number and one that gets text gains one.
    rewriteSelectedAnnotation(*this, [&](MarkupAnnotation &annotation) { annotation.text = text; }, true);
}

void MarkupViewModel::toggleSelectedArrowCurveDirection()
{
    const std::optional<MarkupAnnotation> selected = selectedAnnotation();
    if (!selected || !isArrow(*selected))
        return;
    recordUndoSnapshot();
    rewriteSelectedAnnotation(*this, [](MarkupAnnotation &annotation) {
        annotation.curveDirection = annotation.curveDirection >= 0 ? -1.0 : 1.0;
    });
    setStatusMessage(QStringLiteral("已切换箭头弧度方向"));
}

void MarkupViewModel::updateSelectedFontSize(double size, bool recordsUndo)
{
    // A slider that reports no number changes nothing (it would make the preset unstorable).
    if (std::isnan(size))
        return;
    const double s = clamped(size, minimumAnnotationFontSize, maximumAnnotationFontSize);
    m_stylePreset.fontSize = s;
    saveStylePreset();
    const std::optional<MarkupAnnotation> selected = selectedAnnotation();
    if (selected && selected->fontSize == s)
        return;
    // Without a selection the size only becomes the default of later annotations, but the
    // snapshot and the status are still made, so the user sees the choice confirmed.
    if (recordsUndo)
        recordUndoSnapshot();
    rewriteSelectedAnnotation(*this, [s](MarkupAnnotation &annotation) { annotation.fontSize = s; });
    setStatusMessage(QStringLiteral("文字大小：") + formatted("%.0f", s));
}

void MarkupViewModel::updateDrawingLineWidth(double width, bool recordsUndo)
{
    if (std::isnan(width))
        return;
    const double w = clamped(width, minimumArrowLineWidth, maximumArrowLineWidth);
    setArrowLineWidth(w);
    m_stylePreset.lineWidth = w;
    saveStylePreset();
    const bool arrowSelected = selectedAnnotation() && isArrow(*selectedAnnotation());
    if (rewriteSelectedStyle(*this, isArrowOrBrush, &MarkupAnnotation::lineWidth, w, recordsUndo))
        setStatusMessage((arrowSelected ? QStringLiteral("箭头大小：") : QStringLiteral("画笔粗细："))
                         + formatted("%.1f", w));
}

void MarkupViewModel::updateArrowFontSize(double size, bool recordsUndo)
{
    if (std::isnan(size))
        return;
    const double s = clamped(size, minimumArrowFontSize, maximumArrowFontSize);
    m_stylePreset.fontSize = s;
    saveStylePreset();
    if (rewriteSelectedStyle(*this, isArrow, &MarkupAnnotation::fontSize, s, recordsUndo))
        setStatusMessage(QStringLiteral("文字大小：") + formatted("%.0f", s));
}

void MarkupViewModel::copyToPasteboard(const QString &value, const QString &label)
{
    Pasteboard::current().setText(value);
    setStatusMessage(QStringLiteral("已复制 ") + label + QStringLiteral("：") + value);
}

void MarkupViewModel::setSelectedAnnotationText(const QString &text)
{
    rewriteSelectedAnnotation(*this, [&](MarkupAnnotation &annotation) { annotation.text = text; });
}

void MarkupViewModel::setSelectedAnnotationColorHex(const QString &colorHex)
{
    rewriteSelectedAnnotation(*this, [&](MarkupAnnotation &annotation) { annotation.colorHex = colorHex; });
}
