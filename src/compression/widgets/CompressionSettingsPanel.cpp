#include "compression/widgets/CompressionSettingsPanel.h"

#include "compression/ImageCompressionRules.h"
#include "compression/ImageCompressionService.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "platform/SymbolIcons.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

QLabel *textLabel(const QString &text, double pixels, QFont::Weight weight, const char *color, QWidget *parent,
                  bool wraps = false)
{
    auto *label = new QLabel(text, parent);
    label->setFont(AppFont::font(pixels, weight));
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(QLatin1String(color)));
    label->setWordWrap(wraps);
    return label;
}

ButtonStyle filledStyle(const QColor &foreground, const QColor &background, double fontPixels,
                                     QSize minimum, qreal radius, const QColor &border = QColor())
{
    ButtonStyle style;
    style.foreground = foreground;
    style.background = background;
    style.border = border;
    style.fontPixels = fontPixels;
    style.symbolPixels = fontPixels + 1;
    style.minimumSize = minimum;
    style.cornerRadius = radius;
    return style;
}

} // namespace

CompressionSettingsPanel::CompressionSettingsPanel(Actions actions, QWidget *parent)
    : CompressionSurface(AppTheme::surface(), AppTheme::lightSlate(), 8, parent)
    , m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("compressionSettingsPanel"));
    // 300 wide; as tall as its content, so that the wrapped notes never overlap (the crop editor
    // and the GIF note together need more than 470).
    setFixedWidth(300);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(16);

    // Header.
    auto *header = new QVBoxLayout;
    header->setSpacing(5);
    header->addWidget(textLabel(QStringLiteral("压缩设置"), 16, QFont::Bold, "#0F172A", this));
    header->addWidget(textLabel(QStringLiteral("默认保持原尺寸，只压缩体积；选择最长边后才会改变图片尺寸。"), 11.5,
                                QFont::DemiBold, "#64748B", this, true));
    column->addLayout(header);

    // Quality.
    auto *quality = new QVBoxLayout;
    quality->setSpacing(8);
    auto *qualityRow = new QHBoxLayout;
    qualityRow->addWidget(textLabel(QStringLiteral("JPG 清晰度"), 12, QFont::Bold, "#334155", this));
    qualityRow->addStretch(1);
    m_percent = textLabel(QString(), 12, QFont::Bold, "#334155", this);
    QFont mono = m_percent->font();
    mono.setFamilies({ QStringLiteral("DejaVu Sans Mono"), AppFont::family() });
    m_percent->setFont(mono);
    qualityRow->addWidget(m_percent);
    quality->addLayout(qualityRow);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("compressionQualitySlider"));
    m_slider->setRange(20, 95);
    m_slider->setSingleStep(5);
    m_slider->setPageStep(5);
    m_slider->setToolTip(QStringLiteral("数值越低文件越小，画质也会下降"));
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        // The slider moves in steps of 5; a value in between (dragged) snaps to the nearest step.
        const int stepped = int(std::lround(value / 5.0)) * 5;
        if (stepped != value) {
            m_slider->setValue(stepped);
            return;
        }
        ImageCompressionSettings settings = m_settings;
        settings.jpegQuality = stepped / 100.0;
        if (m_actions.setSettings)
            m_actions.setSettings(settings);
    });
    quality->addWidget(m_slider);
    column->addLayout(quality);

    // Long edge.
    auto *edge = new QVBoxLayout;
    edge->setSpacing(8);
    edge->addWidget(textLabel(QStringLiteral("最长边"), 12, QFont::Bold, "#334155", this));
    auto *segments = new QWidget(this);
    segments->setToolTip(QStringLiteral("原尺寸为最大，只显示比当前批次最大原图更小的最长边"));
    m_dimensionRow = new QHBoxLayout(segments);
    m_dimensionRow->setContentsMargins(0, 0, 0, 0);
    m_dimensionRow->setSpacing(4);
    m_dimensionGroup = new QButtonGroup(this);
    m_dimensionGroup->setExclusive(true);
    edge->addWidget(segments);
    column->addLayout(edge);

    // Crop section.
    m_cropSection = new QWidget(this);
    auto *crop = new QVBoxLayout(m_cropSection);
    crop->setContentsMargins(0, 0, 0, 0);
    crop->setSpacing(9);
    auto *cropHeader = new QHBoxLayout;
    cropHeader->addWidget(textLabel(QStringLiteral("图片裁剪"), 12, QFont::Bold, "#334155", m_cropSection));
    cropHeader->addStretch(1);
    m_cropRatioTitle = textLabel(QString(), 11, QFont::Bold, "#64748B", m_cropSection);
    cropHeader->addWidget(m_cropRatioTitle);
    crop->addLayout(cropHeader);
    // One of three forms shows at a time; the hidden ones take no room.
    m_gifCropNote = textLabel(QStringLiteral("GIF 暂不支持裁剪，可先导出为静态图后再裁剪。"), 11, QFont::DemiBold,
                              "#64748B", m_cropSection, true);
    crop->addWidget(m_gifCropNote);
    m_cropStart = new StyledButton(
        QStringLiteral("裁剪图片"), QStringLiteral("crop"),
        filledStyle(AppTheme::darkSlate(), AppTheme::paleGray(), 12, QSize(0, 34), 8, AppTheme::lightSlate()),
        m_cropSection);
    m_cropStart->setObjectName(QStringLiteral("compressionCropStartButton"));
    m_cropStart->setToolTip(QStringLiteral("先裁剪当前图片，再批量压缩"));
    connect(m_cropStart, &QAbstractButton::clicked, this, [this] {
        if (m_actions.beginCrop)
            m_actions.beginCrop();
    });
    crop->addWidget(m_cropStart);
    auto *editing = new QWidget(m_cropSection);
    m_cropEditing = editing;
    auto *editingColumn = new QVBoxLayout(editing);
    editingColumn->setContentsMargins(0, 0, 0, 0);
    editingColumn->setSpacing(9);
    auto *ratios = new QHBoxLayout;
    ratios->setSpacing(5);
    for (CropAspectRatio ratio : { CropAspectRatio::Free, CropAspectRatio::Square, CropAspectRatio::Wide,
                                   CropAspectRatio::Standard, CropAspectRatio::Original }) {
        auto *button = new StyledButton(
            CropAspectRatios::title(ratio), QString(),
            filledStyle(AppTheme::darkSlate(), AppTheme::paleGray(), 10.5, QSize(0, 26), 7), editing);
        button->setObjectName(QStringLiteral("compressionCropRatio_") + RawValue::of(ratio));
        connect(button, &QAbstractButton::clicked, this, [this, ratio] {
            if (m_actions.setCropAspectRatio)
                m_actions.setCropAspectRatio(ratio);
        });
        ratios->addWidget(button, 1);
        m_ratioButtons.emplace_back(ratio, button);
    }
    editingColumn->addLayout(ratios);
    auto *cropActions = new QHBoxLayout;
    cropActions->setSpacing(8);
    m_cropCancel
        = new StyledButton(QStringLiteral("取消"), QStringLiteral("xmark"),
                                filledStyle(AppTheme::darkSlate(), AppTheme::paleGray(), 12, QSize(0, 32), 8), editing);
    m_cropCancel->setObjectName(QStringLiteral("compressionCropCancelButton"));
    m_cropConfirm = new StyledButton(QStringLiteral("确认"), QStringLiteral("checkmark"),
                                          filledStyle(Qt::white, AppTheme::green(), 12, QSize(0, 32), 8), editing);
    m_cropConfirm->setObjectName(QStringLiteral("compressionCropConfirmButton"));
    connect(m_cropCancel, &QAbstractButton::clicked, this, [this] {
        if (m_actions.closeCrop)
            m_actions.closeCrop();
    });
    connect(m_cropConfirm, &QAbstractButton::clicked, this, [this] {
        if (m_actions.applyCrop)
            m_actions.applyCrop();
    });
    cropActions->addWidget(m_cropCancel, 1);
    cropActions->addWidget(m_cropConfirm, 1);
    editingColumn->addLayout(cropActions);
    crop->addWidget(editing);
    column->addWidget(m_cropSection);

    // GIF note.
    m_gifNote = new CompressionSurface(AppTheme::paleGreen(), QColor(), 8, this);
    auto *note = new QHBoxLayout(m_gifNote);
    note->setContentsMargins(10, 10, 10, 10);
    note->setSpacing(8);
    auto *sparkles = new QLabel(m_gifNote);
    sparkles->setPixmap(
        SymbolIcons::icon(QStringLiteral("sparkles"), AppTheme::green()).pixmap(QSize(14, 14), devicePixelRatioF()));
    sparkles->setFixedSize(18, 18);
    sparkles->setAlignment(Qt::AlignCenter);
    note->addWidget(sparkles, 0, Qt::AlignTop);
    note->addWidget(textLabel(QStringLiteral("GIF 默认保持原尺寸；超过 8 帧时会轻量抽帧，只有选择最长边时才缩小尺寸。"),
                              11.5, QFont::DemiBold, "#64748B", m_gifNote, true),
                    1);
    column->addWidget(m_gifNote);

    auto *divider = new QFrame(this);
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background: #DDE3EA;"));
    column->addWidget(divider);

    // Figures.
    auto *figures = new QVBoxLayout;
    figures->setSpacing(8);
    for (const QString &title : { QStringLiteral("图片数量"), QStringLiteral("原始大小"), QStringLiteral("压缩后") }) {
        auto *row = new QWidget(this);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(textLabel(title, 12, QFont::DemiBold, "#64748B", row));
        rowLayout->addStretch(1);
        QLabel *value = textLabel(QString(), 12, QFont::Bold, "#0F172A", row);
        rowLayout->addWidget(value);
        figures->addWidget(row);
        m_statValues.emplace_back(title, value);
        m_compressedRow = row;
    }
    column->addLayout(figures);

    m_compress = new StyledButton(QStringLiteral("开始压缩"), QStringLiteral("arrow.down.left.and.arrow.up.right"),
                                       filledStyle(Qt::white, AppTheme::green(), 13, QSize(0, 42), 8), this);
    m_compress->setObjectName(QStringLiteral("compressionStartButton"));
    m_compress->setToolTip(QStringLiteral("选择保存位置并批量压缩图片"));
    connect(m_compress, &QAbstractButton::clicked, this, [this] {
        if (m_actions.compress)
            m_actions.compress();
    });
    column->addWidget(m_compress);
    m_compressBlocked = textLabel(QStringLiteral("裁剪尚未确认：请先点“确认”应用裁剪，或点“取消”放弃，再开始压缩。"),
                                  11.5, QFont::DemiBold, "#DC2626", this, true);
    m_compressBlocked->setObjectName(QStringLiteral("compressionBlockedNote"));
    m_compressBlocked->hide();
    column->addWidget(m_compressBlocked);
    column->addStretch(1);

    setSettings(m_settings);
    setSources({});
    setCropForm(CropForm::Hidden, CropAspectRatio::Free);
}

void CompressionSettingsPanel::setSettings(const ImageCompressionSettings &settings)
{
    m_settings = settings;
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(int(std::lround(settings.jpegQuality * 100)));
    }
    m_percent->setText(ImageCompressionRules::qualityText(settings.jpegQuality));
    // Not blocked: a segment's toggle only repaints it, and the segment that the group unchecks
    // must lose its navy as the newly checked one gains it.
    for (size_t index = 0; index < m_offered.size(); ++index) {
        if (auto *button = m_dimensionGroup->button(int(index)))
            button->setChecked(m_offered[index] == settings.maxDimension);
    }
    for (QAbstractButton *button : m_dimensionGroup->buttons())
        button->update();
}

void CompressionSettingsPanel::setSources(const std::vector<ImageCompressionSource> &sources)
{
    m_sources = sources;
    const std::vector<ImageCompressionMaxDimension> offered
        = ImageCompressionRules::availableMaxDimensions(sources);
    if (offered != m_offered || m_dimensionGroup->buttons().isEmpty())
        rebuildMaxDimensions(offered);
    m_gifNote->setVisible(ImageCompressionRules::hasGIF(sources));
    refreshFigures();
    refreshCompressButton();
}

void CompressionSettingsPanel::setResults(const std::vector<ImageCompressionResult> &results)
{
    m_results = results;
    refreshFigures();
}

void CompressionSettingsPanel::setCompressing(bool compressing)
{
    m_compressing = compressing;
    refreshCompressButton();
}

void CompressionSettingsPanel::setCropPending(const QString &note)
{
    if (m_cropPending == !note.isEmpty() && (note.isEmpty() || m_compressBlocked->text() == note))
        return;
    m_cropPending = !note.isEmpty();
    if (m_cropPending)
        m_compressBlocked->setText(note);
    refreshCompressButton();
}

QString CompressionSettingsPanel::compressBlockedText() const
{
    return m_compressBlocked->isVisibleTo(this) ? m_compressBlocked->text() : QString();
}

void CompressionSettingsPanel::setCropForm(CropForm form, CropAspectRatio ratio)
{
    m_cropForm = form;
    m_cropRatio = ratio;
    m_cropSection->setVisible(form != CropForm::Hidden);
    m_cropRatioTitle->setText(form == CropForm::Editing ? CropAspectRatios::title(ratio) : QString());
    m_cropRatioTitle->setVisible(form == CropForm::Editing);
    m_gifCropNote->setVisible(form == CropForm::GifNote);
    m_cropStart->setVisible(form == CropForm::StartButton);
    m_cropEditing->setVisible(form == CropForm::Editing);
    refreshRatioButtons();
}

QString CompressionSettingsPanel::qualityText() const { return m_percent->text(); }

std::vector<StyledButton *> CompressionSettingsPanel::maxDimensionButtons() const
{
    std::vector<StyledButton *> buttons;
    for (size_t index = 0; index < m_offered.size(); ++index)
        buttons.push_back(static_cast<StyledButton *>(m_dimensionGroup->button(int(index))));
    return buttons;
}

QString CompressionSettingsPanel::cropRatioTitle() const
{
    return m_cropRatioTitle->isVisibleTo(this) ? m_cropRatioTitle->text() : QString();
}

StyledButton *CompressionSettingsPanel::cropRatioButton(CropAspectRatio ratio) const
{
    for (const auto &[candidate, button] : m_ratioButtons) {
        if (candidate == ratio)
            return button;
    }
    return nullptr;
}

bool CompressionSettingsPanel::showsGifNote() const { return m_gifNote->isVisibleTo(this); }

QString CompressionSettingsPanel::statValue(const QString &title) const
{
    for (const auto &[candidate, label] : m_statValues) {
        if (candidate == title)
            return label->parentWidget()->isVisibleTo(this) ? label->text() : QString();
    }
    return {};
}

// The segmented picker: one checkable segment per offered choice, the chosen one in navy.
void CompressionSettingsPanel::rebuildMaxDimensions(const std::vector<ImageCompressionMaxDimension> &offered)
{
    for (QAbstractButton *button : m_dimensionGroup->buttons()) {
        m_dimensionGroup->removeButton(button);
        delete button;
    }
    m_offered = offered;
    for (size_t index = 0; index < offered.size(); ++index) {
        const ImageCompressionMaxDimension dimension = offered[index];
        auto *button
            = new StyledButton(ImageCompressionMaxDimensions::title(dimension), QString(),
                                    filledStyle(AppTheme::darkSlate(), AppTheme::paleGray(), 11.5, QSize(0, 28), 6),
                                    m_dimensionRow->parentWidget());
        button->setObjectName(QStringLiteral("compressionMaxDimension_")
                              + ImageCompressionMaxDimensions::title(dimension));
        button->setCheckable(true);
        button->setChecked(dimension == m_settings.maxDimension);
        m_dimensionGroup->addButton(button, int(index));
        m_dimensionRow->addWidget(button, 1);
        connect(button, &QAbstractButton::toggled, button, [button](bool checked) {
            ButtonStyle style = button->buttonStyle();
            style.foreground = checked ? QColor(Qt::white) : AppTheme::darkSlate();
            style.background = checked ? AppTheme::navy() : AppTheme::paleGray();
            button->setButtonStyle(style);
        });
        connect(button, &QAbstractButton::clicked, this, [this, dimension] {
            ImageCompressionSettings settings = m_settings;
            settings.maxDimension = dimension;
            if (m_actions.setSettings)
                m_actions.setSettings(settings);
        });
        Q_EMIT button->toggled(button->isChecked());
    }
}

void CompressionSettingsPanel::refreshFigures()
{
    using namespace ImageCompressionRules;
    const qint64 compressed = totalCompressedBytes(m_results);
    m_statValues[0].second->setText(QString::number(m_sources.size()));
    m_statValues[1].second->setText(ImageCompressionService::humanReadableByteCount(totalOriginalBytes(m_sources)));
    m_statValues[2].second->setText(ImageCompressionService::humanReadableByteCount(compressed));
    m_compressedRow->setVisible(compressed >= 1);
}

void CompressionSettingsPanel::refreshCompressButton()
{
    m_compress->setEnabled(!m_sources.empty() && !m_compressing && !m_cropPending);
    m_compressBlocked->setVisible(m_cropPending && !m_compressing);
    m_compress->setBusy(m_compressing);
    m_compress->setText(m_compressing ? QStringLiteral("压缩中") : QStringLiteral("开始压缩"));
}

void CompressionSettingsPanel::refreshRatioButtons()
{
    for (const auto &[ratio, button] : m_ratioButtons) {
        ButtonStyle style = button->buttonStyle();
        const bool chosen = ratio == m_cropRatio;
        style.foreground = chosen ? QColor(Qt::white) : AppTheme::darkSlate();
        style.background = chosen ? AppTheme::navy() : AppTheme::paleGray();
        button->setButtonStyle(style);
    }
}
