#include "markup/AnnotationEditing.h"

#include "model/MarkupViewModel.h"

#include <cstdio>

namespace AnnotationEditing {

void renumber(std::vector<MarkupAnnotation> &annotations)
{
    qint64 counter = 1;
    for (MarkupAnnotation &annotation : annotations) {
        if (annotation.shouldNumber())
            annotation.sequenceNumber = counter++;
        else
            annotation.sequenceNumber.reset();
    }
}

MarkupAnnotation copyWithNewID(const MarkupAnnotation &annotation)
{
    MarkupAnnotation copy = annotation;
    copy.id = QUuid::createUuid();
    copy.curveDirection = MarkupAnnotation::normalizedCurveDirection(annotation.curveDirection);
    return copy;
}

std::optional<size_t> indexOf(const std::vector<MarkupAnnotation> &annotations, const QUuid &id)
{
    for (size_t i = 0; i < annotations.size(); ++i) {
        if (annotations[i].id == id)
            return i;
    }
    return std::nullopt;
}

QSet<QUuid> selectionTargets(const MarkupViewModel &model)
{
    if (!model.selectedAnnotationIDs().isEmpty())
        return model.selectedAnnotationIDs();
    if (model.selectedAnnotationID())
        return {*model.selectedAnnotationID()};
    return {};
}

QString formatted(const char *format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return QString::fromLatin1(buffer);
}

} // namespace AnnotationEditing
