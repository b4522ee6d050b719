#include "canvas/PointerSettingsEditor.h"

#include "canvas/ToolPresentation.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/RawValue.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The 38-high row box shared by all rows of the section.
class SettingsRowBox final : public QWidget {
public:
    explicit SettingsRowBox(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(38);
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 0, 10, 0);
        layout->setSpacing(8);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        PanelChrome::paintRoundedBox(painter, QRectF(rect()), 8, AppTheme::paleGray(), AppTheme::lightSlate(), 1);
    }
};

QLabel *coloured(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

// The face of a pull-down: the current title and an up-down chevron on the right.
class MenuFace final : public PanelButton {
public:
    MenuFace(const Look &look, QWidget *parent)
        : PanelButton(QStringLiteral("chevron.up.chevron.down"), QString(), look, parent)
    {
        setFixedSize(92, 28);
        setCornerRadius(7);
    }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override
    {
        painter.save();
        const QFont font = look().font;
        const QFontMetricsF metrics(font);
        const double textWidth = metrics.horizontalAdvance(text());
        const double total = textWidth + 6 + 9;
        const double left = rect.center().x() - total / 2;
        painter.setFont(font);
        painter.setPen(look().foreground);
        painter.drawText(QRectF(left, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         text());
        const QRectF iconRect(left + textWidth + 6, rect.center().y() - 5, 10, 10);
        m_chevron.paint(&painter, iconRect.toAlignedRect());
        painter.restore();
    }

private:
    QIcon m_chevron = SymbolIcons::icon(QStringLiteral("chevron.up.chevron.down"), AppTheme::darkSlate());
};

} // namespace

PointerSettingsEditor::PointerSettingsEditor(MarkupViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *heading = coloured(new QLabel(QStringLiteral("鼠标/触控板"), this), AppTheme::secondaryText());
    heading->setFont(AppFont::font(TypeScale::caption, QFont::Bold));
    layout->addWidget(heading);

    PanelButton::Look faceLook;
    faceLook.foreground = AppTheme::darkSlate();
    faceLook.font = AppFont::font(TypeScale::body, QFont::Bold);

    MarkupViewModel *model = &viewModel;
    auto addRow = [&](const QString &label) {
        auto *box = new SettingsRowBox(this);
        auto *title = coloured(new QLabel(label, box), AppTheme::primaryText());
        title->setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
        box->layout()->addWidget(title);
        static_cast<QHBoxLayout *>(box->layout())->addStretch(1);
        layout->addWidget(box);
        return box;
    };
    auto addMenuRow = [&](Row row, const QString &label, const std::vector<std::pair<QString, std::function<void(PointerInteractionSettings &)>>> &options) {
        QWidget *box = addRow(label);
        auto *face = new MenuFace(faceLook, box);
        face->setAccessibleName(label);
        box->layout()->addWidget(face);
        auto *menu = new QMenu(face);
        menu->setFont(AppFont::font(TypeScale::emphasis));
        for (const auto &[title, change] : options) {
            QAction *action = menu->addAction(title);
            const std::function<void(PointerInteractionSettings &)> apply = change;
            connect(action, &QAction::triggered, this, [model, apply] { choose(*model, apply); });
        }
        connect(face, &QAbstractButton::clicked, this, [face, menu] {
            menu->popup(face->mapToGlobal(QPoint(0, face->height() + 2)));
        });
        m_faces[size_t(row)] = face;
        m_menus[size_t(row)] = menu;
    };

    using Options = std::vector<std::pair<QString, std::function<void(PointerInteractionSettings &)>>>;
    auto scrollOptions = [](CanvasScrollAction PointerInteractionSettings::*field) {
        Options options;
        for (CanvasScrollAction action : RawValue::allCases<CanvasScrollAction>())
            options.emplace_back(ToolPresentation::title(action),
                                 [field, action](PointerInteractionSettings &s) { s.*field = action; });
        return options;
    };
    auto buttonOptions = [](CanvasMouseButtonAction PointerInteractionSettings::*field) {
        Options options;
        for (CanvasMouseButtonAction action : RawValue::allCases<CanvasMouseButtonAction>())
            options.emplace_back(ToolPresentation::title(action),
                                 [field, action](PointerInteractionSettings &s) { s.*field = action; });
        return options;
    };
    Options dragOptions;
    for (CanvasDragAction action : RawValue::allCases<CanvasDragAction>())
        dragOptions.emplace_back(ToolPresentation::title(action),
                                 [action](PointerInteractionSettings &s) { s.middleMouseDragAction = action; });

    addMenuRow(MouseWheel, QStringLiteral("鼠标滚轮"), scrollOptions(&PointerInteractionSettings::mouseWheelAction));
    addMenuRow(TrackpadScroll, QStringLiteral("触控板双指滑动"),
               scrollOptions(&PointerInteractionSettings::trackpadScrollAction));
    m_pinchRow = addRow(QStringLiteral("捏合放大"));
    m_pinchRow->setToolTip(QStringLiteral("触控板或数位板捏合手势始终用于缩放画布"));
    auto *pinchValue = coloured(new QLabel(QStringLiteral("缩放"), m_pinchRow), AppTheme::secondaryText());
    pinchValue->setFont(AppFont::font(TypeScale::body, QFont::Bold));
    pinchValue->setFixedSize(92, 28);
    pinchValue->setAlignment(Qt::AlignCenter);
    m_pinchRow->layout()->addWidget(pinchValue);
    addMenuRow(MiddleDrag, QStringLiteral("中键拖动"), dragOptions);
    addMenuRow(SideButton1, QStringLiteral("侧键 1"), buttonOptions(&PointerInteractionSettings::sideButton1Action));
    addMenuRow(SideButton2, QStringLiteral("侧键 2"), buttonOptions(&PointerInteractionSettings::sideButton2Action));

    connect(&viewModel, &MarkupViewModel::pointerInteractionSettingsChanged, this, &PointerSettingsEditor::refresh);
    refresh();
}

void PointerSettingsEditor::choose(MarkupViewModel &viewModel,
                                   const std::function<void(PointerInteractionSettings &)> &change)
{
    PointerInteractionSettings settings = viewModel.pointerInteractionSettings();
    change(settings);
    viewModel.setPointerInteractionSettings(settings);
    viewModel.savePointerInteractionSettings();
    viewModel.setStatusMessage(QStringLiteral("已更新鼠标/触控板设置"));
}

void PointerSettingsEditor::refresh()
{
    const PointerInteractionSettings &s = m_viewModel.pointerInteractionSettings();
    m_faces[MouseWheel]->setText(ToolPresentation::title(s.mouseWheelAction));
    m_faces[TrackpadScroll]->setText(ToolPresentation::title(s.trackpadScrollAction));
    m_faces[MiddleDrag]->setText(ToolPresentation::title(s.middleMouseDragAction));
    m_faces[SideButton1]->setText(ToolPresentation::title(s.sideButton1Action));
    m_faces[SideButton2]->setText(ToolPresentation::title(s.sideButton2Action));
    for (PanelButton *face : m_faces)
        face->update();
}
