#include "compression/widgets/CompressionSourceColumn.h"

#include "compression/ImageCompressionRules.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"
#include "ui/StyledButton.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include <cmath>

// ---- Model ------------------------------------------------------------------------------------

void CompressionSourceListModel::setSources(const std::vector<ImageCompressionSource> &sources)
{
    beginResetModel();
    m_sources = sources;
    // Only the cards in view are drawn again, so rebuilding their thumbnails lazily stays cheap
    // (and a crop, which keeps the id, gets its new one).
    m_thumbnails.clear();
    endResetModel();
}

void CompressionSourceListModel::setSelectedID(const std::optional<QUuid> &id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    if (!m_sources.empty())
        Q_EMIT dataChanged(index(0), index(int(m_sources.size()) - 1));
}

bool CompressionSourceListModel::isSelected(int row) const
{
    const ImageCompressionSource *selected = ImageCompressionRules::selectedSource(m_sources, m_selectedID);
    return selected && row >= 0 && row < int(m_sources.size()) && selected->id == m_sources[size_t(row)].id;
}

QPixmap CompressionSourceListModel::cardThumbnail(int row, qreal devicePixelRatio) const
{
    const ImageCompressionSource &source = m_sources[size_t(row)];
    if (auto found = m_thumbnails.constFind(source.id); found != m_thumbnails.constEnd())
        return found.value();
    const QSize target(int(std::ceil(128 * devicePixelRatio)), int(std::ceil(78 * devicePixelRatio)));
    QPixmap pixmap(target);
    pixmap.fill(AppTheme::paleGray());
    if (!source.thumbnail.isNull()) {
        const QImage filled = source.thumbnail.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        QPainter painter(&pixmap);
        painter.drawImage(QPointF((target.width() - filled.width()) / 2.0, (target.height() - filled.height()) / 2.0),
                          filled);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    m_thumbnails.insert(source.id, pixmap);
    return pixmap;
}

int CompressionSourceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_sources.size());
}

QVariant CompressionSourceListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_sources.size()))
        return {};
    const ImageCompressionSource &source = m_sources[size_t(index.row())];
    if (role == Qt::DisplayRole)
        return source.fileName;
    if (role == Qt::ToolTipRole)
        return QStringLiteral("查看 ") + source.fileName + QStringLiteral(" 的压缩信息");
    return {};
}

// ---- Delegate ---------------------------------------------------------------------------------

CompressionSourceDelegate::CompressionSourceDelegate(const CompressionSourceListModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
{
}

void CompressionSourceDelegate::setActions(std::function<void(const QUuid &)> select,
                                           std::function<void(const QUuid &)> remove)
{
    m_select = std::move(select);
    m_remove = std::move(remove);
}

QRectF CompressionSourceDelegate::cardRect(const QRect &row)
{
    return QRectF(row.left() + (row.width() - cardWidth) / 2.0, row.top(), cardWidth, rowHeight - 10);
}

QRectF CompressionSourceDelegate::thumbnailRect(const QRect &row)
{
    const QRectF card = cardRect(row);
    return QRectF(card.left() + 7, card.top() + 8, 128, 78);
}

QRectF CompressionSourceDelegate::removeCircleRect(const QRect &row)
{
    const QRectF thumbnail = thumbnailRect(row);
    return QRectF(thumbnail.right() - 5 - 18, thumbnail.top() + 5, 18, 18);
}

QSize CompressionSourceDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(cardWidth, rowHeight);
}

void CompressionSourceDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const int row = index.row();
    if (row < 0 || row >= int(m_model.sources().size()))
        return;
    const ImageCompressionSource &source = m_model.sources()[size_t(row)];
    const bool selected = m_model.isSelected(row);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect(option.rect);
    if (selected) {
        QPainterPath path;
        path.addRoundedRect(card.adjusted(1, 1, -1, -1), 8, 8);
        painter->fillPath(path, AppTheme::paleBlue());
        painter->setPen(QPen(AppTheme::navy(), 2));
        painter->drawPath(path);
    } else {
        ControlPainting::roundedPanel(*painter, card, 8, AppTheme::surface(), AppTheme::lightSlate());
    }

    const QRectF thumbnail = thumbnailRect(option.rect);
    QPainterPath clip;
    clip.addRoundedRect(thumbnail, 7, 7);
    painter->save();
    painter->setClipPath(clip);
    // A null source rectangle draws the whole pixmap.
    painter->drawPixmap(thumbnail, m_model.cardThumbnail(row, painter->device()->devicePixelRatioF()), QRectF());
    painter->restore();

    const QFont nameFont = AppFont::font(TypeScale::listName, QFont::DemiBold);
    const QFont factsFont = AppFont::font(TypeScale::fine, QFont::DemiBold);
    const QFontMetrics nameMetrics(nameFont), factsMetrics(factsFont);
    const QRectF nameRect(thumbnail.left(), thumbnail.bottom() + 7, 128, nameMetrics.height());
    const QRectF factsRect(thumbnail.left(), nameRect.bottom() + 3, 128, factsMetrics.height());
    painter->setFont(nameFont);
    painter->setPen(AppTheme::darkSlate());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(source.fileName, Qt::ElideMiddle, 128));
    painter->setFont(factsFont);
    painter->setPen(AppTheme::secondaryText());
    painter->drawText(factsRect, Qt::AlignLeft | Qt::AlignVCenter,
                      factsMetrics.elidedText(ImageCompressionRules::factsText(source), Qt::ElideRight, 128));

    const QRectF circle = removeCircleRect(option.rect);
    QColor red = AppTheme::red();
    red.setAlphaF(0.92);
    painter->setPen(Qt::NoPen);
    painter->setBrush(red);
    painter->drawEllipse(circle);
    ControlPainting::symbol(*painter, QStringLiteral("xmark"), Qt::white, circle, 10);
    painter->restore();
}

bool CompressionSourceDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                            const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPointF position = mouse->position();
    const QPointF centre = removeCircleRect(option.rect).center();
    const bool onCircle = std::hypot(position.x() - centre.x(), position.y() - centre.y()) <= 9;
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressRow = cardRect(option.rect).contains(position) ? index.row() : -1;
        m_pressOnCircle = onCircle;
        return m_pressRow >= 0;
    }
    const int pressRow = std::exchange(m_pressRow, -1);
    if (pressRow != index.row() || !cardRect(option.rect).contains(position)
        || index.row() >= int(m_model.sources().size()))
        return false;
    const QUuid id = m_model.sources()[size_t(index.row())].id;
    if (m_pressOnCircle && onCircle) {
        if (m_remove)
            m_remove(id);
    } else if (!m_pressOnCircle && m_select) {
        m_select(id);
    }
    return true;
}

bool CompressionSourceDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                          const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QPointF centre = removeCircleRect(option.rect).center();
    const bool onCircle = std::hypot(event->pos().x() - centre.x(), event->pos().y() - centre.y()) <= 9;
    QToolTip::showText(event->globalPos(),
                       onCircle ? QStringLiteral("从压缩列表移除") : index.data(Qt::ToolTipRole).toString(), view);
    return true;
}

// ---- Column -----------------------------------------------------------------------------------

namespace {

ButtonStyle toolbarStyle()
{
    ButtonStyle style;
    style.foreground = AppTheme::darkSlate();
    style.background = AppTheme::surface();
    style.border = AppTheme::lightSlate();
    style.fontPixels = TypeScale::button;
    style.symbolPixels = 13;
    return style;
}

} // namespace

CompressionSourceColumn::CompressionSourceColumn(Actions actions, QWidget *parent)
    : QWidget(parent)
    , m_actions(std::move(actions))
    , m_delegate(m_model)
{
    setObjectName(QStringLiteral("compressionSourceColumn"));
    setFixedWidth(168);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 12, 12, 0);
    auto *title = new QLabel(QStringLiteral("压缩"), this);
    title->setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
    title->setStyleSheet(QStringLiteral("color: #0F172A;"));
    m_count = new QLabel(QStringLiteral("0"), this);
    QFont countFont = AppFont::font(TypeScale::caption, QFont::DemiBold);
    countFont.setStyleHint(QFont::Monospace);
    countFont.setFamilies({ QStringLiteral("DejaVu Sans Mono"), AppFont::family() });
    m_count->setFont(countFont);
    m_count->setStyleSheet(QStringLiteral("color: #64748B;"));
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(m_count);
    column->addLayout(header);

    m_forms = new QStackedWidget(this);
    column->addWidget(m_forms, 1);

    // The empty form: the dashed tile at the top.
    auto *empty = new QWidget(m_forms);
    auto *emptyColumn = new QVBoxLayout(empty);
    emptyColumn->setContentsMargins(0, 0, 0, 0);
    ButtonStyle tileStyle;
    tileStyle.foreground = AppTheme::secondaryText();
    tileStyle.background = AppTheme::surface();
    tileStyle.border = AppTheme::lightSlate();
    tileStyle.fontPixels = TypeScale::rowTitle;
    tileStyle.symbolPixels = 22;
    tileStyle.minimumSize = QSize(132, 92);
    tileStyle.stacked = true;
    tileStyle.dashedBorder = true;
    m_addTile = new StyledButton(QStringLiteral("添加图片"), QStringLiteral("photo.badge.plus"), tileStyle, empty);
    m_addTile->setObjectName(QStringLiteral("compressionAddTile"));
    m_addTile->setFixedSize(132, 92);
    m_addTile->setToolTip(QStringLiteral("添加需要压缩的图片或文件夹"));
    emptyColumn->addWidget(m_addTile, 0, Qt::AlignHCenter);
    emptyColumn->addStretch(1);
    m_forms->addWidget(empty);

    // The list form: the cards and the toolbar.
    auto *filled = new QWidget(m_forms);
    auto *filledColumn = new QVBoxLayout(filled);
    filledColumn->setContentsMargins(0, 0, 0, 0);
    filledColumn->setSpacing(10);
    m_list = new QListView(filled);
    m_list->setObjectName(QStringLiteral("compressionSourceList"));
    m_list->setModel(&m_model);
    m_list->setItemDelegate(&m_delegate);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setUniformItemSizes(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->verticalScrollBar()->setSingleStep(24);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setContentsMargins(0, 0, 0, 0);
    m_list->setMouseTracking(true);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    filledColumn->addWidget(m_list, 1);

    auto *toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(10, 0, 10, 10);
    toolbar->setSpacing(8);
    m_addButton = new StyledButton(QStringLiteral("添加"), QStringLiteral("plus"), toolbarStyle(), filled);
    m_addButton->setObjectName(QStringLiteral("compressionAddButton"));
    m_addButton->setToolTip(QStringLiteral("继续添加图片"));
    m_clearButton = new StyledButton(QStringLiteral("清空"), QStringLiteral("trash"), toolbarStyle(), filled);
    m_clearButton->setObjectName(QStringLiteral("compressionClearButton"));
    m_clearButton->setToolTip(QStringLiteral("清空当前压缩列表"));
    toolbar->addWidget(m_addButton, 1);
    toolbar->addWidget(m_clearButton, 1);
    filledColumn->addLayout(toolbar);
    m_forms->addWidget(filled);

    connect(m_addTile, &QAbstractButton::clicked, this, [this] {
        if (m_actions.add)
            m_actions.add();
    });
    connect(m_addButton, &QAbstractButton::clicked, this, [this] {
        if (m_actions.add)
            m_actions.add();
    });
    connect(m_clearButton, &QAbstractButton::clicked, this, [this] {
        if (m_actions.clear)
            m_actions.clear();
    });
    m_delegate.setActions(m_actions.select, m_actions.remove);
}

void CompressionSourceColumn::setSources(const std::vector<ImageCompressionSource> &sources)
{
    // A removal, a crop or an addition keeps the list where the user scrolled it.
    const int scrolled = m_list->verticalScrollBar()->value();
    m_model.setSources(sources);
    m_list->verticalScrollBar()->setValue(scrolled);
    m_count->setText(QString::number(sources.size()));
    m_forms->setCurrentIndex(sources.empty() ? 0 : 1);
}

void CompressionSourceColumn::setSelectedID(const std::optional<QUuid> &id) { m_model.setSelectedID(id); }

QString CompressionSourceColumn::countText() const { return m_count->text(); }

bool CompressionSourceColumn::showsList() const { return m_forms->currentIndex() == 1; }

void CompressionSourceColumn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor fill = AppTheme::background();
    fill.setAlphaF(0.65);
    painter.fillRect(rect(), fill);
}
