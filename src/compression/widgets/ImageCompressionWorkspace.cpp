#include "compression/widgets/ImageCompressionWorkspace.h"

#include "compression/CompressionCropGeometry.h"
#include "compression/ImageCompressionRules.h"
#include "compression/ImageCompressionService.h"
#include "compression/widgets/CompressionInfoBadge.h"
#include "compression/widgets/CompressionPreview.h"
#include "compression/widgets/CompressionResultBanner.h"
#include "compression/widgets/CompressionSettingsPanel.h"
#include "compression/widgets/CompressionSourceColumn.h"
#include "compression/widgets/CompressionSurface.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ElidedLabel.h"
#include "ui/EmptyStateColumn.h"
#include "ui/StyledButton.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace Geometry = CompressionCropGeometry;

namespace {

// Holds the preview box centred, also when the column is narrower than the box (the smallest
// window): the box then overflows evenly on both sides into its own white margin instead of
// losing its right edge.
class CentredHolder : public QWidget {
public:
    explicit CentredHolder(QWidget *parent)
        : QWidget(parent)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    void setChild(QWidget *child)
    {
        m_child = child;
        child->setParent(this);
        relayout();
    }
    void relayout()
    {
        if (!m_child)
            return;
        setFixedHeight(m_child->height());
        m_child->move((width() - m_child->width()) / 2, 0);
    }

protected:
    void resizeEvent(QResizeEvent *) override { relayout(); }

private:
    QWidget *m_child = nullptr;
};

// A row that gives the widget up to its maximum width, centred.
QHBoxLayout *centredRow(QWidget *widget)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget, 1000);
    row->addStretch(1);
    return row;
}

} // namespace

ImageCompressionWorkspace::ImageCompressionWorkspace(Actions actions, QWidget *parent)
    : QWidget(parent)
    , m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("imageCompressionWorkspace"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    CompressionSourceColumn::Actions columnActions;
    columnActions.add = [this] {
        if (m_actions.add)
            m_actions.add();
    };
    columnActions.clear = [this] {
        if (m_actions.clear)
            m_actions.clear();
    };
    columnActions.select = [this](const QUuid &id) {
        if (m_actions.select)
            m_actions.select(id);
    };
    columnActions.remove = [this](const QUuid &id) {
        if (m_actions.remove)
            m_actions.remove(id);
    };
    m_column = new CompressionSourceColumn(std::move(columnActions), this);
    row->addWidget(m_column);
    auto *divider = new QFrame(this);
    divider->setFixedWidth(1);
    divider->setStyleSheet(QStringLiteral("background: #DDE3EA;"));
    row->addWidget(divider);

    m_main = new QStackedWidget(this);
    m_main->addWidget(makeEmptyState());
    m_main->addWidget(makeSelectedLayout());
    row->addWidget(m_main, 1);
    refreshMain();
}

// ---- Inputs -----------------------------------------------------------------------------------

void ImageCompressionWorkspace::setInputs(const std::vector<ImageCompressionSource> &sources,
                                          const std::optional<QUuid> &selectedID,
                                          const std::vector<ImageCompressionResult> &results,
                                          const ImageCompressionSettings &settings, bool compressing,
                                          const std::optional<CompressionRunReport> &lastRun,
                                          const PendingCompressionCrops &pendingCrops)
{
    m_sources = sources;
    m_selectedID = selectedID;
    m_results = results;
    m_lastRun = lastRun;
    m_keptCrops = pendingCrops;
    m_crop = CropState();
    if (const ImageCompressionSource *source = selectedSource())
        switchCropTo(source->id);
    m_settings = settings;
    m_compressing = compressing;
    m_column->setSources(sources);
    m_column->setSelectedID(selectedID);
    m_panel->setSources(sources);
    m_panel->setResults(results);
    m_panel->setSettings(settings);
    m_panel->setCompressing(compressing);
    refreshMain();
}

void ImageCompressionWorkspace::setSources(const std::vector<ImageCompressionSource> &sources)
{
    // Compared by value, thumbnails aside: a crop changes the entry, a thumbnail alone does not.
    const bool changed = sources != m_sources;
    m_sources = sources;
    // A frame goes with its image when the image leaves the list.
    const auto listed = [&](const QUuid &id) {
        return std::any_of(sources.begin(), sources.end(), [&](const ImageCompressionSource &source) { return source.id == id; });
    };
    const PendingCompressionCrops before = pendingCrops();
    std::erase_if(m_keptCrops, [&](const auto &entry) { return !listed(entry.first); });
    if (m_crop.sourceID && !listed(*m_crop.sourceID))
        m_crop = CropState();
    if (pendingCrops() != before)
        publishCrops();
    m_column->setSources(sources);
    m_panel->setSources(sources);
    refreshMain();
    if (changed)
        normalizeMaxDimensionSelection();
}

void ImageCompressionWorkspace::setSelectedSourceID(const std::optional<QUuid> &id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    m_column->setSelectedID(id);
    // The frame drawn on the image left behind waits for it; the new one's comes back.
    const ImageCompressionSource *source = selectedSource();
    switchCropTo(source ? std::optional<QUuid>(source->id) : std::nullopt);
    refreshMain();
}

void ImageCompressionWorkspace::setResults(const std::vector<ImageCompressionResult> &results)
{
    m_results = results;
    m_panel->setResults(results);
    refreshMain();
}

void ImageCompressionWorkspace::setLastRunReport(const std::optional<CompressionRunReport> &report)
{
    m_lastRun = report;
    refreshMain();
}

void ImageCompressionWorkspace::setSettings(const ImageCompressionSettings &settings)
{
    m_settings = settings;
    m_panel->setSettings(settings);
}

void ImageCompressionWorkspace::setCompressing(bool compressing)
{
    m_compressing = compressing;
    m_panel->setCompressing(compressing);
}

void ImageCompressionWorkspace::normalizeMaxDimensionSelection()
{
    const ImageCompressionSettings normalized = ImageCompressionRules::normalizedSettings(m_settings, m_sources);
    if (normalized == m_settings)
        return;
    if (m_actions.setSettings)
        m_actions.setSettings(normalized);
}

const ImageCompressionSource *ImageCompressionWorkspace::selectedSource() const
{
    return ImageCompressionRules::selectedSource(m_sources, m_selectedID);
}

// ---- Layout -----------------------------------------------------------------------------------

QWidget *ImageCompressionWorkspace::makeEmptyState()
{
    auto *empty = new QWidget;
    QVBoxLayout *column = emptyStateColumn(empty, QStringLiteral("compressionEmptyState"),
                                           QStringLiteral("arrow.down.left.and.arrow.up.right"), 52, 14);
    auto *sentence = new QLabel(QStringLiteral("添加图片后，可批量压缩 JPG、PNG 和轻量 GIF。"), empty);
    sentence->setFont(AppFont::font(TypeScale::emphasis, QFont::DemiBold));
    sentence->setStyleSheet(QStringLiteral("color: #64748B;"));
    sentence->setAlignment(Qt::AlignCenter);
    column->addWidget(sentence, 0, Qt::AlignHCenter);
    ButtonStyle style;
    style.foreground = Qt::white;
    style.background = AppTheme::green();
    style.border = AppTheme::green();
    style.fontPixels = TypeScale::button;
    style.symbolPixels = 13;
    m_emptyButton = new StyledButton(QStringLiteral("添加图片"), QStringLiteral("photo.badge.plus"), style, empty);
    m_emptyButton->setObjectName(QStringLiteral("compressionEmptyAddButton"));
    m_emptyButton->setToolTip(QStringLiteral("添加需要压缩的图片或文件夹"));
    m_emptyButton->setMinimumWidth(m_emptyButton->sizeHint().width() + 6);
    connect(m_emptyButton, &QAbstractButton::clicked, this, [this] {
        if (m_actions.add)
            m_actions.add();
    });
    column->addWidget(m_emptyButton, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return empty;
}

QWidget *ImageCompressionWorkspace::makeSelectedLayout()
{
    auto *selected = new QWidget;
    auto *row = new QHBoxLayout(selected);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(22);

    // The left column takes what the panel leaves; its content never forces the window wider.
    auto *left = new QWidget(selected);
    left->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->setSpacing(14);
    leftColumn->addStretch(1);
    auto *holder = new CentredHolder(left);
    m_previewBox = new CompressionSurface(AppTheme::surface(), AppTheme::lightSlate(), 8, holder);
    auto *boxLayout = new QVBoxLayout(m_previewBox);
    boxLayout->setContentsMargins(20, 20, 20, 20);
    m_preview = new CompressionPreview(m_previewBox);
    boxLayout->addWidget(m_preview, 0, Qt::AlignCenter);
    m_preview->setDragHandlers({
        [this](QPointF start, QPointF current) {
            if (const ImageCompressionSource *source = selectedSource())
                updateCropDrag(start, current, *source);
        },
        [this](QPointF start, QPointF current) {
            if (const ImageCompressionSource *source = selectedSource())
                endCropDrag(start, current, *source);
        },
    });
    holder->setChild(m_previewBox);
    m_previewHolder = holder;
    leftColumn->addWidget(holder);

    m_details = new QWidget(left);
    m_details->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_details->setMinimumWidth(0);
    auto *details = new QVBoxLayout(m_details);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(8);
    m_name = new ElidedLabel({AppFont::font(15, QFont::Bold), AppTheme::primaryText(), Qt::ElideMiddle, Qt::AlignLeft,
                              ElidedLabel::SizeRule::TakesAnyWidth, false},
                             m_details);
    details->addWidget(m_name);
    m_badges = new QHBoxLayout;
    m_badges->setSpacing(10);
    m_badges->addStretch(1);
    details->addLayout(m_badges);
    leftColumn->addLayout(centredRow(m_details));

    m_banner = new CompressionResultBanner(left);
    m_banner->setObjectName(QStringLiteral("compressionResultBanner"));
    leftColumn->addLayout(centredRow(m_banner));
    leftColumn->addStretch(1);
    row->addWidget(left, 1);

    CompressionSettingsPanel::Actions panelActions;
    panelActions.setSettings = [this](const ImageCompressionSettings &settings) {
        if (m_actions.setSettings)
            m_actions.setSettings(settings);
    };
    panelActions.compress = [this] {
        if (m_actions.compress)
            m_actions.compress();
    };
    panelActions.beginCrop = [this] {
        if (const ImageCompressionSource *source = selectedSource())
            beginCrop(*source);
    };
    panelActions.closeCrop = [this] { closeCropEditor(); };
    panelActions.setCropAspectRatio = [this](CropAspectRatio ratio) {
        if (const ImageCompressionSource *source = selectedSource())
            setCropAspectRatio(ratio, *source);
    };
    panelActions.applyCrop = [this] {
        if (const ImageCompressionSource *source = selectedSource()) {
            const ImageCompressionSource copy = *source; // the crop replaces the entry
            applyCrop(copy);
        }
    };
    m_panel = new CompressionSettingsPanel(std::move(panelActions), selected);
    // Centred by stretches rather than an alignment, so that the wrapped notes get their height.
    auto *right = new QVBoxLayout;
    right->addStretch(1);
    right->addWidget(m_panel);
    right->addStretch(1);
    row->addLayout(right);
    return selected;
}

void ImageCompressionWorkspace::refreshMain()
{
    const ImageCompressionSource *source = selectedSource();
    m_main->setCurrentIndex(source ? 1 : 0);
    if (!source)
        return;
    const QSizeF previewSize = Geometry::previewSize(source->pixelSize);
    m_preview->setImage(source->thumbnail, previewSize);
    const int boxWidth = int(std::ceil(previewSize.width())) + 40;
    m_previewBox->setFixedSize(boxWidth, int(std::ceil(previewSize.height())) + 40);
    static_cast<CentredHolder *>(m_previewHolder)->relayout();
    // The details and the banner take the box's width, or less in a narrow window.
    m_details->setMaximumWidth(boxWidth);
    m_banner->setMaximumWidth(boxWidth);

    m_name->setText(source->fileName);
    while (m_badges->count() > 1) {
        QLayoutItem *item = m_badges->takeAt(0);
        delete item->widget();
        delete item;
    }
    QStringList badges { ImageCompressionRules::pixelSizeText(source->pixelSize),
                         ImageCompressionService::humanReadableByteCount(source->originalBytes) };
    if (source->isGIF)
        badges << ImageCompressionRules::gifBadgeText(source->frameCount);
    for (int index = 0; index < badges.size(); ++index)
        m_badges->insertWidget(index, new CompressionInfoBadge(badges[index], m_details));

    // The banner tells the run it belongs to, whatever happened to the list since.
    m_banner->setVisible(m_lastRun.has_value());
    if (m_lastRun)
        m_banner->setSummary(ImageCompressionRules::summaryText(*m_lastRun), m_lastRun->failedCount > 0);
    refreshCrop();
}

void ImageCompressionWorkspace::refreshCrop()
{
    const ImageCompressionSource *source = selectedSource();
    using Form = CompressionSettingsPanel::CropForm;
    if (!source) {
        m_panel->setCropForm(Form::Hidden, m_crop.aspectRatio);
        m_panel->setCropPending(QString());
        return;
    }
    const bool cropping = isCropping(*source);
    const Form form = source->isGIF ? Form::GifNote : cropping ? Form::Editing : Form::StartButton;
    m_panel->setCropForm(form, m_crop.aspectRatio);
    // A crop frame that was neither confirmed nor cancelled, on this image or another, would be
    // passed over by a run: the run waits for the user's word on it.
    m_panel->setCropPending(pendingCropNote());
    m_preview->setCropRect(cropping ? m_crop.rect : std::nullopt);
}

void ImageCompressionWorkspace::switchCropTo(const std::optional<QUuid> &id)
{
    if (m_crop.sourceID == id)
        return;
    if (m_crop.sourceID && m_crop.rect)
        m_keptCrops[*m_crop.sourceID] = PendingCompressionCrop { *m_crop.rect, m_crop.aspectRatio };
    m_crop = CropState();
    if (id) {
        const auto kept = m_keptCrops.find(*id);
        if (kept != m_keptCrops.end()) {
            m_crop.sourceID = *id;
            m_crop.rect = kept->second.rect;
            m_crop.aspectRatio = kept->second.aspectRatio;
            m_keptCrops.erase(kept);
        }
    }
    refreshCrop();
}

PendingCompressionCrops ImageCompressionWorkspace::pendingCrops() const
{
    PendingCompressionCrops crops = m_keptCrops;
    if (m_crop.sourceID && m_crop.rect)
        crops[*m_crop.sourceID] = PendingCompressionCrop { *m_crop.rect, m_crop.aspectRatio };
    return crops;
}

void ImageCompressionWorkspace::publishCrops()
{
    if (m_actions.keepCrops)
        m_actions.keepCrops(pendingCrops());
}

QString ImageCompressionWorkspace::pendingCropNote() const
{
    if (m_crop.sourceID)
        return QStringLiteral("裁剪尚未确认：请先点“确认”应用裁剪，或点“取消”放弃，再开始压缩。");
    QStringList names;
    for (const ImageCompressionSource &source : m_sources) {
        if (m_keptCrops.count(source.id))
            names << source.fileName;
    }
    if (names.isEmpty())
        return QString();
    const QString which = names.size() == 1
        ? QStringLiteral("“%1”").arg(names.front())
        : QStringLiteral("“%1”等 %2 张图片").arg(names.front()).arg(names.size());
    return which + QStringLiteral("的裁剪尚未确认：请选中后点“确认”应用裁剪，或点“取消”放弃，再开始压缩。");
}

bool ImageCompressionWorkspace::showsEmptyState() const { return m_main->currentIndex() == 0; }

QString ImageCompressionWorkspace::detailsName() const { return m_name->shownText(); }

QStringList ImageCompressionWorkspace::detailBadges() const
{
    QStringList texts;
    for (int index = 0; index < m_badges->count(); ++index) {
        if (auto *badge = qobject_cast<CompressionInfoBadge *>(m_badges->itemAt(index)->widget()))
            texts << badge->text();
    }
    return texts;
}

void ImageCompressionWorkspace::paintEvent(QPaintEvent *) { QPainter(this).fillRect(rect(), AppTheme::paleSlate()); }

// ---- Crop editor ------------------------------------------------------------------------------

bool ImageCompressionWorkspace::isCropping(const ImageCompressionSource &source) const
{
    return m_crop.sourceID && *m_crop.sourceID == source.id;
}

void ImageCompressionWorkspace::beginCrop(const ImageCompressionSource &source)
{
    if (source.isGIF)
        return;
    m_crop.sourceID = source.id;
    m_crop.aspectRatio = CropAspectRatio::Free;
    m_crop.dragAnchor.reset();
    m_crop.resizeCorner.reset();
    m_crop.rect = Geometry::startRect(Geometry::previewSize(source.pixelSize));
    refreshCrop();
    publishCrops();
}

void ImageCompressionWorkspace::closeCropEditor()
{
    m_crop = CropState();
    refreshCrop();
    publishCrops();
}

void ImageCompressionWorkspace::setCropAspectRatio(CropAspectRatio ratio, const ImageCompressionSource &source)
{
    m_crop.aspectRatio = ratio;
    const QSizeF preview = Geometry::previewSize(source.pixelSize);
    if (preview.width() > 0 && preview.height() > 0) {
        if (ratio == CropAspectRatio::Original) {
            m_crop.rect = Rect(0, 0, preview.width(), preview.height());
        } else if (ratio != CropAspectRatio::Free && m_crop.rect && !m_crop.rect->isEmpty()) {
            m_crop.rect = Geometry::fittedRect(*m_crop.rect, *CropAspectRatios::widthToHeight(ratio, source.pixelSize), preview);
        }
    }
    refreshCrop();
    publishCrops();
}

std::optional<Rect> ImageCompressionWorkspace::dragRect(QPointF current, const ImageCompressionSource &source) const
{
    if (!m_crop.dragAnchor)
        return std::nullopt;
    const QSizeF preview = Geometry::previewSize(source.pixelSize);
    return Geometry::dragRect(*m_crop.dragAnchor, current, CropAspectRatios::widthToHeight(m_crop.aspectRatio, source.pixelSize),
                              preview);
}

void ImageCompressionWorkspace::updateCropDrag(QPointF start, QPointF current, const ImageCompressionSource &source)
{
    if (!isCropping(source) || source.isGIF)
        return;
    const QSizeF preview = Geometry::previewSize(source.pixelSize);
    if (!m_crop.dragAnchor) {
        const QPointF clampedStart = Geometry::clampedPoint(start, preview);
        m_crop.resizeCorner = m_crop.rect ? Geometry::cornerAt(*m_crop.rect, clampedStart) : std::nullopt;
        m_crop.dragAnchor
            = m_crop.resizeCorner ? Geometry::oppositeCorner(*m_crop.rect, *m_crop.resizeCorner) : clampedStart;
    }
    m_crop.rect = dragRect(current, source);
    m_preview->setCropRect(m_crop.rect);
}

void ImageCompressionWorkspace::endCropDrag(QPointF, QPointF current, const ImageCompressionSource &source)
{
    if (isCropping(source) && m_crop.dragAnchor)
        m_crop.rect = dragRect(current, source);
    m_crop.dragAnchor.reset();
    m_crop.resizeCorner.reset();
    refreshCrop();
    publishCrops();
}

bool ImageCompressionWorkspace::applyCrop(const ImageCompressionSource &source)
{
    if (!isCropping(source) || !m_crop.rect)
        return false;
    const std::optional<QRectF> unit = Geometry::unitRect(*m_crop.rect, Geometry::previewSize(source.pixelSize));
    if (!unit)
        return false;
    if (!m_actions.crop || !m_actions.crop(source.id, *unit, m_crop.aspectRatio))
        return false;
    closeCropEditor();
    return true;
}
