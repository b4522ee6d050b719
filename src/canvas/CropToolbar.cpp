#include "canvas/CropToolbar.h"

#include "canvas/PanelPlacement.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/RawValue.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

PanelButton::Look ratioLook(bool current)
{
    PanelButton::Look look;
    look.foreground = current ? QColor(Qt::white) : AppTheme::darkSlate();
    look.background = current ? AppTheme::navy() : AppTheme::paleGray();
    look.font = AppFont::font(TypeScale::caption, QFont::Bold);
    return look;
}

} // namespace

CropToolbar::CropToolbar(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(PanelChrome::withAlpha(Qt::white, 0.96), 8, AppTheme::lightSlate(), 1);
    setShadow({0.16, 10, QPointF(0, 4)});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);

    auto *ratios = new QHBoxLayout;
    ratios->setSpacing(6);
    for (CropAspectRatio ratio : RawValue::allCases<CropAspectRatio>()) {
        const QString title = CropAspectRatios::title(ratio);
        auto *button = new PanelButton(QString(), title, ratioLook(false), this);
        button->setFixedSize(58, 26);
        button->setCornerRadius(7);
        button->setToolTip(QStringLiteral("裁剪比例：") + title);
        connect(button, &QAbstractButton::clicked, this,
                [this, ratio] { m_viewModel.setCropAspectRatio(ratio, m_canvasSize); });
        ratios->addWidget(button);
        m_ratioButtons[ratio] = button;
    }
    layout->addLayout(ratios);

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    actions->addStretch(1);
    PanelButton::Look cancelLook;
    cancelLook.foreground = AppTheme::darkSlate();
    cancelLook.background = Qt::white;
    cancelLook.border = AppTheme::lightSlate();
    cancelLook.font = AppFont::font(TypeScale::body, QFont::Bold);
    cancelLook.iconSize = 12;
    m_cancel = new PanelButton(QStringLiteral("xmark"), QStringLiteral("取消"), cancelLook, this);
    m_cancel->setMinimumSize(78, 34);
    m_cancel->setFixedHeight(34);
    m_cancel->setToolTip(QStringLiteral("取消本次裁剪，保留原图"));
    PanelButton::Look confirmLook;
    confirmLook.foreground = Qt::white;
    confirmLook.background = AppTheme::green();
    confirmLook.font = AppFont::font(TypeScale::body, QFont::Bold);
    confirmLook.iconSize = 12;
    m_confirm = new PanelButton(QStringLiteral("checkmark"), QStringLiteral("确认裁剪"), confirmLook, this);
    m_confirm->setMinimumSize(100, 34);
    m_confirm->setFixedHeight(34);
    m_confirm->setToolTip(QStringLiteral("确认裁剪，并把结果作为一张新图片加入列表"));
    actions->addWidget(m_cancel);
    actions->addWidget(m_confirm);
    actions->addStretch(1);
    layout->addLayout(actions);

    connect(m_cancel, &QAbstractButton::clicked, this, [this] {
        m_viewModel.cancelCrop();
        Q_EMIT cropEnded();
    });
    connect(m_confirm, &QAbstractButton::clicked, this, [this] {
        // A failed confirm keeps the rectangle and the crop mode; the view model said why.
        if (m_viewModel.confirmCrop(m_canvasSize))
            Q_EMIT cropEnded();
    });
    connect(&viewModel, &MarkupViewModel::cropAspectRatioChanged, this, &CropToolbar::refreshRatio);
    refreshRatio();
    resize(int(panelWidth), int(panelHeight));
}

void CropToolbar::sync(const QRectF &cropRect, QSizeF canvasSize)
{
    m_canvasSize = canvasSize;
    setCanvasRect(PanelPlacement::rectAround(PanelPlacement::cropToolbarCentre(cropRect, canvasSize),
                                             QSizeF(panelWidth, panelHeight)));
}

void CropToolbar::refreshRatio()
{
    for (auto &[ratio, button] : m_ratioButtons)
        button->setLook(ratioLook(ratio == m_viewModel.cropAspectRatio()));
}
