#include "model/MarkupViewModel.h"

#include "markup/AnnotationEditing.h"
#include "markup/MarkupGeometry.h"
#include "markup/MarkupHitTesting.h"

#include <algorithm>

namespace {

// How far from a shape a click still selects it, in canvas points.
constexpr double shapeHitTolerance = 14;
// A marquee this narrow or low (canvas points) counts as a click.
constexpr double marqueeClickThreshold = 4;

} // namespace

void MarkupViewModel::selectAnnotation(std::optional<QUuid> id)
{
    setSelectedAnnotationID(id);
    setSelectedAnnotationIDs(id ? QSet<QUuid>{*id} : QSet<QUuid>{});
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setStatusMessage(id ? QStringLiteral("已选中 1 个标注") : QStringLiteral("未选中标注"));
}

void MarkupViewModel::selectAnnotationLabel(std::optional<QUuid> id)
{
    setSelectedAnnotationID(id);
    setSelectedAnnotationIDs(id ? QSet<QUuid>{*id} : QSet<QUuid>{});
    setSelectedAnnotationPart(AnnotationSelectionPart::Label);
    setEditingTextAnnotationID(std::nullopt);
    setStatusMessage(id ? QStringLiteral("已选中标注文字") : QStringLiteral("未选中标注文字"));
}

void MarkupViewModel::selectAnnotationForDrag(const QUuid &id)
{
    // A drag on any member of a multiple selection moves all of it, so the selection stays.
    if (!m_selectedAnnotationIDs.contains(id)) {
        setSelectedAnnotationID(id);
        setSelectedAnnotationIDs({id});
        setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    }
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
}

void MarkupViewModel::selectAnnotationLabelForDrag(const QUuid &id)
{
    setSelectedAnnotationID(id);
    setSelectedAnnotationIDs({id});
    setSelectedAnnotationPart(AnnotationSelectionPart::Label);
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
}

std::optional<QUuid> MarkupViewModel::hitShapeAnnotationID(QPointF at, QSizeF canvasSize) const
{
    return MarkupGeometry::hitShapeAnnotationID(at, annotations(), canvasSize, shapeHitTolerance);
}

void MarkupViewModel::selectAnnotation(QPointF at, QSizeF canvasSize)
{
    if (const std::optional<QUuid> label = MarkupGeometry::hitEditableTextAnnotationID(at, annotations(), canvasSize)) {
        setSelectedAnnotationID(label);
        setSelectedAnnotationIDs({*label});
        setSelectedAnnotationPart(AnnotationSelectionPart::Label);
        setEditingTextAnnotationID(std::nullopt);
        setStatusMessage(QStringLiteral("已选中标注文字"));
        return;
    }
    const std::optional<QUuid> shape = hitShapeAnnotationID(at, canvasSize);
    setSelectedAnnotationID(shape);
    setSelectedAnnotationIDs(shape ? QSet<QUuid>{*shape} : QSet<QUuid>{});
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setStatusMessage(shape ? QStringLiteral("已选中 1 个标注") : QStringLiteral("未选中标注"));
}

void MarkupViewModel::finishMarqueeSelection(QPointF from, QPointF to, QSizeF canvasSize)
{
    const Rect marquee = Rect::spanning(from, to);
    setSelectionRect(std::nullopt);
    if (marquee.width <= marqueeClickThreshold || marquee.height <= marqueeClickThreshold) {
        selectAnnotation(to, canvasSize);
        return;
    }
    const std::vector<QUuid> found = MarkupGeometry::annotationIDs(marquee, annotations(), canvasSize);
    // The primary selection is the topmost of the enclosed annotations.
    setSelectedAnnotationIDs(QSet<QUuid>(found.begin(), found.end()));
    setSelectedAnnotationID(found.empty() ? std::nullopt : std::optional<QUuid>(found.back()));
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setStatusMessage(found.empty() ? QStringLiteral("框选范围内没有标注")
                                   : QStringLiteral("已框选 %1 个标注").arg(m_selectedAnnotationIDs.size()));
}

void MarkupViewModel::beginTextEditing(QPointF at, QSizeF canvasSize)
{
    const std::vector<MarkupAnnotation> list = annotations();
    std::optional<QUuid> target = MarkupGeometry::hitEditableTextAnnotationID(at, list, canvasSize);
    if (!target)
        target = MarkupGeometry::hitAnnotationID(at, list, canvasSize, shapeHitTolerance);
    if (!target)
        return;
    const MarkupAnnotation &annotation = list[*AnnotationEditing::indexOf(list, *target)];
    // A shape without a label has nothing to edit; a text annotation always has.
    if (annotation.kind != AnnotationKind::Text && annotation.text.isEmpty())
        return;
    setSelectedAnnotationID(target);
    setSelectedAnnotationIDs({*target});
    setSelectedAnnotationPart(AnnotationSelectionPart::Label);
    setEditingTextAnnotationID(target);
    setPendingTextFocusID(target);
    setMomentStatusMessage(StatusMoment::LabelEditing, QStringLiteral("正在编辑标注文字"));
}
