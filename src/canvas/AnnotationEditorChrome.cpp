#include "canvas/AnnotationEditorChrome.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"

#include <QLabel>

namespace AnnotationEditorChrome {

QColor panelFill()
{
    return PanelChrome::withAlpha(Qt::white, 0.7);
}

QColor annotationBorder(const MarkupAnnotation &annotation)
{
    return PanelChrome::withAlpha(HexColor::uiColor(annotation.colorHex), 0.72);
}

QLabel *rowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(AppFont::font(TypeScale::caption, QFont::Bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, AppTheme::secondaryText());
    label->setPalette(palette);
    label->setFixedWidth(52);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace AnnotationEditorChrome
