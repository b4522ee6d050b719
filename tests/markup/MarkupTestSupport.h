#pragma once

#include "model/MarkupAnnotation.h"

#include <QUuid>

// An annotation with the usual style: colour #DC2626, line width 3, font size 20, no label
// position or width, curving to the positive side.
inline MarkupAnnotation makeAnnotation(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end,
                                       const QString &text = QString(),
                                       std::optional<qint64> sequenceNumber = std::nullopt)
{
    return MarkupAnnotation(QUuid::createUuid(), kind, start, end, text, QStringLiteral("#DC2626"), 3, 20,
                            std::nullopt, std::nullopt, 1, sequenceNumber, {});
}
