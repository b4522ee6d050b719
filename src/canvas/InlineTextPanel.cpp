#include "canvas/InlineTextPanel.h"

#include "canvas/AnnotationColorPresets.h"
#include "canvas/PanelPlacement.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The rounded white field behind the text, its border showing whether the field has the focus.
class FieldFrame final : public QWidget {
public:
    explicit FieldFrame(QWidget *parent)
        : QWidget(parent)
    {
    }
    void setFocused(bool focused)
    {
        if (focused == m_focused)
            return;
        m_focused = focused;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (m_focused)
            PanelChrome::paintRoundedBox(painter, QRectF(rect()), 7, PanelChrome::withAlpha(Qt::white, 0.88),
                                         PanelChrome::withAlpha(AppTheme::accent(), 0.48), 1.4);
        else
            PanelChrome::paintRoundedBox(painter, QRectF(rect()), 7, PanelChrome::withAlpha(Qt::white, 0.88),
                                         PanelChrome::withAlpha(AppTheme::lightSlate(), 0.82), 1.0);
    }

private:
    bool m_focused = false;
};

} // namespace

// ---- InlineTextPanel ---------------------------------------------------------------------------------

InlineTextPanel::InlineTextPanel(MarkupViewModel &viewModel, QWidget *parent)
    : FloatingPanel(parent)
    , m_viewModel(viewModel)
{
    setChrome(PanelChrome::withAlpha(Qt::white, 0.86), 8, AppTheme::lightSlate(), 1.2);
    setShadow({0.18, 12, QPointF(0, 6)});
    setAccessibleName(QStringLiteral("标注文字输入框"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 0);
    layout->setSpacing(10);

    auto *editorRow = new QHBoxLayout;
    editorRow->setSpacing(10);
    auto *frame = new FieldFrame(this);
    m_fieldFrame = frame;
    frame->setFixedHeight(66);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(10, 7, 10, 7);
    m_edit = new InlineLabelTextEdit(frame);
    frameLayout->addWidget(m_edit);
    editorRow->addWidget(frame, 1, Qt::AlignTop);

    PanelButton::Look look;
    look.foreground = Qt::white;
    look.background = AppTheme::green();
    look.font = AppFont::font(TypeScale::display, QFont::Bold);
    look.iconSize = 22;
    m_confirm = new PanelButton(QStringLiteral("checkmark"), QString(), look, this);
    m_confirm->setCornerRadius(8);
    m_confirm->setFixedSize(48, 48);
    m_confirm->setAccessibleName(QStringLiteral("确认文字"));
    m_confirm->setToolTip(QStringLiteral("确认文字"));
    editorRow->addWidget(m_confirm, 0, Qt::AlignTop);
    layout->addLayout(editorRow);

    auto *presetRow = new QHBoxLayout;
    presetRow->setSpacing(6);
    MarkupViewModel *model = &viewModel;
    for (const AnnotationColorPresets::Preset &preset : AnnotationColorPresets::all()) {
        auto *swatch = new ColorSwatchButton(preset.name, preset.hex, ColorSwatchButton::Style::Large, this);
        swatch->setToolTip(QStringLiteral("把当前标注颜色改为") + preset.name);
        // A swatch never takes the focus from the field.
        swatch->setFocusPolicy(Qt::NoFocus);
        const QString hex = preset.hex;
        connect(swatch, &QAbstractButton::clicked, this, [model, hex] { AnnotationColorPresets::apply(*model, hex); });
        presetRow->addWidget(swatch);
        m_swatches.push_back(swatch);
    }
    presetRow->addStretch(1);
    layout->addLayout(presetRow);
    layout->addStretch(1);
    m_confirm->setFocusPolicy(Qt::NoFocus);

    connect(m_confirm, &QAbstractButton::clicked, this, &InlineTextPanel::endEditing);
    connect(m_edit, &InlineLabelTextEdit::confirmRequested, this, [this] {
        if (m_viewModel.editingTextAnnotationID())
            endEditing();
    });
    connect(m_edit, &InlineLabelTextEdit::focusChanged, frame, &FieldFrame::setFocused);
    connect(m_edit, &QPlainTextEdit::textChanged, this, &InlineTextPanel::textEdited);
    connect(&viewModel, &MarkupViewModel::pendingTextFocusIDChanged, this, &InlineTextPanel::pendingFocusChanged);
    connect(&viewModel, &MarkupViewModel::selectedAnnotationIDChanged, this, &InlineTextPanel::selectionChanged);
    // Any change of the edited annotation (another one, or none) starts a new editing session.
    connect(&viewModel, &MarkupViewModel::editingTextAnnotationIDChanged, this, [this] { m_sessionRecorded = false; });
    resize(280, 142);
}

bool InlineTextPanel::isTextFocused() const
{
    return m_edit->hasFocus();
}

void InlineTextPanel::sync(const MarkupAnnotation &annotation, QSizeF canvasSize)
{
    if (m_edit->toPlainText() != annotation.text) {
        const QSignalBlocker blocker(m_edit);
        m_edit->setPlainText(annotation.text);
        m_edit->moveCursor(QTextCursor::End);
    }
    for (ColorSwatchButton *swatch : m_swatches)
        swatch->setSelectedSwatch(swatch->hex() == annotation.colorHex);
    setBorderColor(PanelChrome::withAlpha(HexColor::uiColor(annotation.colorHex), 0.58));
    setCanvasRect(PanelPlacement::inlineTextPanelRect(annotation, canvasSize));
}

void InlineTextPanel::textEdited()
{
    const QString text = m_edit->toPlainText();
    const std::optional<MarkupAnnotation> selected = m_viewModel.selectedAnnotation();
    if (!selected || selected->text == text)
        return;
    const std::optional<qsizetype> index = m_viewModel.selectedIndex();
    if (!index)
        return;
    if (!m_sessionRecorded) {
        m_viewModel.recordUndoSnapshot(std::nullopt);
        m_sessionRecorded = true;
    }
    m_viewModel.setSelectedAnnotationText(text);
    m_viewModel.renumberAnnotations(*index);
}

void InlineTextPanel::endEditing()
{
    m_focusWhenShown = false;
    if (m_edit->hasFocus())
        m_edit->clearFocus();
    m_viewModel.confirmTextEditing();
}

void InlineTextPanel::pendingFocusChanged()
{
    // Only a pending id that names the selected annotation asks for the focus: after Escape both
    // are absent, and there is no field to focus then.
    const std::optional<QUuid> pending = m_viewModel.pendingTextFocusID();
    if (!pending || pending != m_viewModel.selectedAnnotationID())
        return;
    // Deferred, so the panel that appears in the same change exists before it takes the focus.
    QTimer::singleShot(0, this, [this] {
        takeFocus();
        m_viewModel.setPendingTextFocusID(std::nullopt);
    });
}

void InlineTextPanel::selectionChanged()
{
    if (m_viewModel.editingTextAnnotationID() == m_viewModel.selectedAnnotationID())
        return;
    m_focusWhenShown = false;
    if (m_edit->hasFocus())
        m_edit->clearFocus();
}

void InlineTextPanel::takeFocus()
{
    if (!isVisible()) {
        m_focusWhenShown = true;
        return;
    }
    m_edit->setFocus(Qt::OtherFocusReason);
}

void InlineTextPanel::showEvent(QShowEvent *event)
{
    FloatingPanel::showEvent(event);
    if (m_focusWhenShown) {
        m_focusWhenShown = false;
        if (m_viewModel.editingTextAnnotationID() && m_viewModel.editingTextAnnotationID() == m_viewModel.selectedAnnotationID())
            m_edit->setFocus(Qt::OtherFocusReason);
    }
}

void InlineTextPanel::paintEvent(QPaintEvent *event)
{
    FloatingPanel::paintEvent(event);
    QPainter painter(this);
    // The confirm button's green glow, under the button.
    PanelChrome::paintShadow(painter, QRectF(m_confirm->geometry()), 8, 0.26, 5, QPointF(0, 2), QColor(0x04, 0x78, 0x57));
}
