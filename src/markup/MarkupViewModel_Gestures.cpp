#include "model/MarkupViewModel.h"

#include "markup/AnnotationEditing.h"
#include "markup/MarkupGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

const QString defaultLabelText = QStringLiteral("标注文字");

// A press and release closer than this (in unit coordinates) is a click, not a drag.
constexpr double minimumDragDistance = 0.01;

double unitDistance(UnitPoint2D a, UnitPoint2D b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

} // namespace

void MarkupViewModel::beginGesture(MarkupTool tool, UnitPoint2D at)
{
    AnnotationKind kind;
    switch (tool) {
    case MarkupTool::Select:
    case MarkupTool::Crop:
    case MarkupTool::Eyedropper:
        return;
    case MarkupTool::Arrow:
        kind = AnnotationKind::Arrow;
        break;
    case MarkupTool::Text:
        kind = AnnotationKind::Text;
        break;
    case MarkupTool::Rectangle:
        kind = AnnotationKind::Rectangle;
        break;
    case MarkupTool::Brush:
        kind = AnnotationKind::Brush;
        break;
    default:
        return;
    }

    const bool isBrush = kind == AnnotationKind::Brush;
    // A brush stroke gets its label and number only when it is complete.
    MarkupAnnotation annotation(QUuid::createUuid(), kind, at, at, isBrush ? QString() : defaultLabelText,
                                m_stylePreset.colorHex, m_stylePreset.lineWidth, m_stylePreset.fontSize,
                                std::nullopt, m_stylePreset.labelWidth,
                                kind == AnnotationKind::Arrow ? defaultArrowCurveDirection() : 1.0,
                                isBrush ? std::nullopt : std::optional<qint64>(nextAnnotationSequenceNumber()),
                                isBrush ? QList<UnitPoint2D>{at} : QList<UnitPoint2D>{});
    setDraftAnnotation(std::move(annotation));
}

void MarkupViewModel::updateGesture(UnitPoint2D to)
{
    if (!m_draftAnnotation)
        return;
    MarkupAnnotation annotation = *m_draftAnnotation;
    // A text label stays where it was pressed, however far the pointer goes.
    if (annotation.kind == AnnotationKind::Text)
        return;
    annotation.end = to;
    if (annotation.kind == AnnotationKind::Brush)
        annotation.points.push_back(to);
    setDraftAnnotation(std::move(annotation));
}

void MarkupViewModel::finishGesture(UnitPoint2D at)
{
    if (!m_draftAnnotation)
        return;
    MarkupAnnotation annotation = *m_draftAnnotation;
    switch (annotation.kind) {
    case AnnotationKind::Text:
        break;
    case AnnotationKind::Arrow:
    case AnnotationKind::Rectangle:
        annotation.end = at;
        // A click without a drag still leaves a visible shape.
        if (unitDistance(annotation.start, annotation.end) < minimumDragDistance)
            annotation.end = MarkupGeometry::defaultEndPoint(annotation.start, annotation.kind);
        break;
    case AnnotationKind::Brush:
        annotation.end = at;
        annotation.points.push_back(at);
        annotation.text = defaultLabelText;
        annotation.sequenceNumber = nextAnnotationSequenceNumber();
        annotation.labelPosition = at;
        break;
    }
    // The snapshot shows the image without the new annotation, so one undo removes the stroke.
    recordUndoSnapshot();
    addFinishedAnnotation(annotation);
    setDraftAnnotation(std::nullopt);
}

qint64 MarkupViewModel::nextAnnotationSequenceNumber() const
{
    const std::vector<MarkupAnnotation> current = annotations();
    return qint64(std::count_if(current.begin(), current.end(),
                                [](const MarkupAnnotation &annotation) { return annotation.shouldNumber(); }))
        + 1;
}

double MarkupViewModel::defaultArrowCurveDirection() const
{
    const std::vector<MarkupAnnotation> current = annotations();
    const auto arrows = std::count_if(current.begin(), current.end(), [](const MarkupAnnotation &annotation) {
        return annotation.kind == AnnotationKind::Arrow;
    });
    // Successive arrows bend to alternate sides so that they do not lie on top of each other.
    return arrows % 2 == 0 ? 1.0 : -1.0;
}

void MarkupViewModel::addFinishedAnnotation(const MarkupAnnotation &annotation)
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index)
        return;
    std::vector<ImageMarkupItem> items = m_items;
    std::vector<MarkupAnnotation> &list = items[size_t(*index)].annotations;
    list.push_back(annotation);
    AnnotationEditing::renumber(list);
    setItems(std::move(items));

    setSelectedTool(MarkupTool::Select);
    setSelectedAnnotationID(annotation.id);
    setSelectedAnnotationIDs({annotation.id});
    setEditingTextAnnotationID(annotation.id);
    setPendingTextFocusID(annotation.id);
    setMomentStatusMessage(StatusMoment::LabelEditing, QStringLiteral("正在编辑标注文字"));
}
