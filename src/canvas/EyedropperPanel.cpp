#include "canvas/EyedropperPanel.h"

#include "canvas/PanelPlacement.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"

#include <QPainter>

namespace {

constexpr double inset = 12;
constexpr double headerHeight = 42;
constexpr double eyedropperRowHeight = 14;
constexpr double rowSpacing = 3;
constexpr double buttonHeight = 24;
constexpr double stackSpacing = 8;

const char *const labels[3] = {"HEX", "RGB", "CMYK"};

int valueRowCount(const SampledImageColor &color)
{
    return color.alpha < 255 ? 3 : 2;
}

double contentHeight(const SampledImageColor &color)
{
    const int rows = valueRowCount(color);
    return headerHeight + stackSpacing + rows * eyedropperRowHeight + (rows - 1) * rowSpacing + stackSpacing + buttonHeight;
}

} // namespace

EyedropperPanel::EyedropperPanel(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(PanelChrome::withAlpha(Qt::white, 0.96), 8, AppTheme::lightSlate(), 1);
    setShadow({0.18, 10, QPointF(0, 5)});
    setAccessibleName(QStringLiteral("颜色查看器"));
    PanelButton::Look look;
    look.foreground = AppTheme::navy();
    look.background = AppTheme::paleBlue();
    look.border = AppTheme::lightSlate();
    look.font = PanelChrome::monospaceFont(10, QFont::Bold);
    for (int i = 0; i < 3; ++i) {
        const QString label = QString::fromLatin1(labels[i]);
        auto *button = new PanelButton(QString(), label, look, this);
        button->setCornerRadius(6);
        button->setToolTip(QStringLiteral("复制 ") + label + QStringLiteral(" 色值"));
        button->setAccessibleName(QStringLiteral("复制 ") + label);
        connect(button, &QAbstractButton::clicked, this, [this, i] { copy(i); });
        m_buttons[size_t(i)] = button;
    }
    resize(228, 146);
}

void EyedropperPanel::sync(const ColorSamplePreview &preview, bool isLocked, QSizeF canvasSize)
{
    m_color = preview.color;
    m_locked = isLocked;
    const QSizeF size = PanelPlacement::eyedropperPanelSize(m_color.alpha);
    setCanvasRect(PanelPlacement::rectAround(
        PanelPlacement::eyedropperPanelCentre(preview.canvasPoint, m_color.alpha, canvasSize), size));
    const double buttonWidth = (size.width() - 2 * inset - 2 * 6) / 3;
    const double top = contentTop() + contentHeight(m_color) - buttonHeight;
    for (int i = 0; i < 3; ++i)
        m_buttons[size_t(i)]->setGeometry(QRectF(inset + i * (buttonWidth + 6), top, buttonWidth, buttonHeight).toRect());
    update();
}

QString EyedropperPanel::hintText() const
{
    return m_locked ? QStringLiteral("已取色，点击下方复制") : QStringLiteral("左键取色，设为标注色");
}

double EyedropperPanel::contentTop() const
{
    // The content is centred in the panel's height.
    return (PanelPlacement::eyedropperPanelSize(m_color.alpha).height() - contentHeight(m_color)) / 2;
}

void EyedropperPanel::copy(int index)
{
    switch (index) {
    case 0:
        m_viewModel.copyToPasteboard(m_color.hex(), QStringLiteral("HEX"));
        break;
    case 1:
        m_viewModel.copyToPasteboard(QStringLiteral("RGB: ") + m_color.rgbText(), QStringLiteral("RGB"));
        break;
    default:
        m_viewModel.copyToPasteboard(QStringLiteral("CMYK: ") + m_color.cmykText(), QStringLiteral("CMYK"));
        break;
    }
}

void EyedropperPanel::paintEvent(QPaintEvent *event)
{
    FloatingPanel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double top = contentTop();

    const QRectF swatch(inset, top, 42, 42);
    const QString hex = m_color.hex();
    PanelChrome::paintRoundedBox(painter, swatch, 6, HexColor::uiColor(hex), PanelChrome::withAlpha(Qt::white, 0.9), 2);
    PanelChrome::paintRoundedBox(painter, swatch, 6, QColor(), AppTheme::lightSlate(), 1);

    const double textLeft = swatch.right() + 10;
    const QFont hexFont = PanelChrome::monospaceFont(15, QFont::Bold);
    const QFont hintFont = AppFont::font(TypeScale::fine, QFont::DemiBold);
    const double hexHeight = QFontMetricsF(hexFont).height();
    const double hintHeight = QFontMetricsF(hintFont).height();
    const double textTop = swatch.center().y() - (hexHeight + 3 + hintHeight) / 2;
    painter.setFont(hexFont);
    painter.setPen(AppTheme::primaryText());
    painter.drawText(QRectF(textLeft, textTop, width() - textLeft - inset, hexHeight), Qt::AlignLeft | Qt::AlignVCenter, hex);
    painter.setFont(hintFont);
    painter.setPen(AppTheme::secondaryText());
    painter.drawText(QRectF(textLeft, textTop + hexHeight + 3, width() - textLeft - inset, hintHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, hintText());

    const QFont labelFont = PanelChrome::monospaceFont(10, QFont::Bold);
    const QFont valueFont = PanelChrome::monospaceFont(11, QFont::DemiBold);
    double y = top + headerHeight + stackSpacing;
    auto row = [&](const QString &label, const QString &value) {
        painter.setFont(labelFont);
        painter.setPen(AppTheme::secondaryText());
        painter.drawText(QRectF(inset, y, 38, eyedropperRowHeight), Qt::AlignLeft | Qt::AlignVCenter, label);
        painter.setFont(valueFont);
        painter.setPen(AppTheme::darkSlate());
        const QRectF valueRect(inset + 38 + 6, y, width() - inset * 2 - 44, eyedropperRowHeight);
        painter.drawText(valueRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QFontMetricsF(valueFont).elidedText(value, Qt::ElideRight, valueRect.width()));
        y += eyedropperRowHeight + rowSpacing;
    };
    row(QStringLiteral("RGB"), m_color.rgbText());
    row(QStringLiteral("CMYK"), m_color.cmykText());
    if (m_color.alpha < 255)
        row(QStringLiteral("Alpha"), m_color.alphaPercentText());
}
