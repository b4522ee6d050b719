#pragma once

#include "model/MarkupAnnotation.h"

#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

class MarkupViewModel;

// Rules that the view model's annotation operations share. They work on copies of an image's
// annotation list, so that an operation can make all its changes and publish the list once.
namespace AnnotationEditing {

// Gives the annotations that count as numbered 1, 2, 3 … in list order and the others no number:
// the rule of MarkupViewModel::renumberAnnotations, applied to a list before it is published.
void renumber(std::vector<MarkupAnnotation> &annotations);

// A copy with a fresh id and the bend reduced to ±1; every other field is kept.
MarkupAnnotation copyWithNewID(const MarkupAnnotation &annotation);

// The position of the first annotation with this id.
std::optional<size_t> indexOf(const std::vector<MarkupAnnotation> &annotations, const QUuid &id);

// The ids a group operation acts on: selectedAnnotationIDs, or else the primary selection alone,
// or else none.
QSet<QUuid> selectionTargets(const MarkupViewModel &model);

// A number written by a printf format such as "%.1f" (halves round to even, as the status texts
// have always shown them).
QString formatted(const char *format, double value);

// `value` clamped into lower…upper, the lower bound first.
inline double clamped(double value, double lower, double upper)
{
    const double atLeast = value < lower ? lower : value;
    return atLeast > upper ? upper : atLeast;
}

} // namespace AnnotationEditing
