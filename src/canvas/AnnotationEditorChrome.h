#pragma once

#include "model/MarkupAnnotation.h"

#include <QColor>
#include <QString>

class QLabel;
class QWidget;

// The look the floating editors of a selected annotation share.
namespace AnnotationEditorChrome {

// The panels' translucent white fill.
QColor panelFill();
// The panel's border: the annotation's own colour, softened.
QColor annotationBorder(const MarkupAnnotation &annotation);
// The label at the start of an editor row, 52 wide.
QLabel *rowLabel(const QString &text, QWidget *parent);

} // namespace AnnotationEditorChrome
