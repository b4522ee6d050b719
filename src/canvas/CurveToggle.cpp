#include "canvas/CurveToggle.h"

#include "canvas/PanelPlacement.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"

CurveToggle::CurveToggle(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
{
    setChrome(PanelChrome::withAlpha(Qt::white, 0.7), 16, AppTheme::lightSlate(), 1);
    setShadow({0.14, 5, QPointF(0, 2)});
    PanelButton::Look look;
    look.foreground = AppTheme::navy();
    look.circle = true;
    look.font = AppFont::font(TypeScale::emphasis, QFont::Bold);
    look.iconSize = 15;
    m_button = new PanelButton(QStringLiteral("arrow.triangle.2.circlepath"), QString(), look, this);
    m_button->setCornerRadius(8);
    m_button->setGeometry(0, 0, 32, 32);
    m_button->setToolTip(QStringLiteral("切换箭头弧度方向"));
    m_button->setAccessibleName(QStringLiteral("切换箭头弧度方向"));
    MarkupViewModel *model = &viewModel;
    connect(m_button, &QAbstractButton::clicked, this, [model] { model->toggleSelectedArrowCurveDirection(); });
    resize(32, 32);
}

void CurveToggle::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::curveToggleCentre(annotation, canvasSize),
                                             PanelPlacement::curveToggleSize()));
}
