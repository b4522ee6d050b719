#include "comparison/widgets/ComparisonPairListView.h"

#include "comparison/widgets/ComparisonPreview.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/PanelChrome.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

// ---- Model -----------------------------------------------------------------------------------------

ComparisonPairListModel::ComparisonPairListModel(MarkupViewModel &viewModel, QObject *parent)
    : QAbstractListModel(parent)
    , m_viewModel(viewModel)
    , m_pairs(viewModel.comparisonPairs())
{
    connect(&viewModel, &MarkupViewModel::comparisonPairsChanged, this, &ComparisonPairListModel::pairsChanged);
    connect(&viewModel, &MarkupViewModel::selectedComparisonPairIDChanged, this, [this] {
        if (!m_pairs.empty())
            Q_EMIT dataChanged(index(0), index(int(m_pairs.size()) - 1), {IsSelectedRole});
    });
}

void ComparisonPairListModel::pairsChanged()
{
    beginResetModel();
    m_pairs = m_viewModel.comparisonPairs();
    // Keep the thumbnails of pictures still listed.
    QSet<QUuid> alive;
    for (const ComparisonPairState &pair : m_pairs)
        alive.insert(pair.id);
    for (const QUuid &id : m_thumbnails.keys()) {
        if (!alive.contains(id))
            m_thumbnails.remove(id);
    }
    endResetModel();
}

int ComparisonPairListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_pairs.size());
}

std::optional<QUuid> ComparisonPairListModel::idAt(int row) const
{
    if (row < 0 || row >= int(m_pairs.size()))
        return std::nullopt;
    return m_pairs[size_t(row)].id;
}

QPixmap ComparisonPairListModel::thumbnail(const ComparisonPairState &pair, bool after) const
{
    if (const std::pair<QPixmap, QPixmap> *found = m_thumbnails.object(pair.id))
        return after ? found->second : found->first;
    const auto make = [this](const ComparisonImageState &side) {
        return comparisonPreview(side, thumbnailSize, 6, m_devicePixelRatio);
    };
    const std::pair<QPixmap, QPixmap> made{make(pair.before), make(pair.after)};
    const auto kilobytes = [](const QPixmap &pixmap) { return qsizetype(pixmap.width()) * pixmap.height() * 4 / 1024; };
    const qsizetype cost = kilobytes(made.first) + kilobytes(made.second) + 1;
    m_thumbnails.insert(pair.id, new std::pair<QPixmap, QPixmap>(made), cost);
    return after ? made.second : made.first;
}

QVariant ComparisonPairListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_pairs.size()))
        return {};
    const ComparisonPairState &pair = m_pairs[size_t(index.row())];
    const int number = index.row() + 1;
    switch (role) {
    case IdRole:
        return pair.id;
    case NumberRole:
        return number;
    case FileNameRole:
    case Qt::DisplayRole:
        return pair.before.fileName;
    case BeforeThumbnailRole:
        return thumbnail(pair, false);
    case AfterThumbnailRole:
        return thumbnail(pair, true);
    case IsSelectedRole: {
        const std::optional<ComparisonPairState> shown = m_viewModel.comparisonPair();
        return shown && shown->id == pair.id;
    }
    case Qt::ToolTipRole:
        return cardToolTip(number);
    case Qt::AccessibleTextRole:
        return cardAccessibleName(number);
    default:
        return {};
    }
}

QString ComparisonPairListModel::cardToolTip(int number)
{
    return QStringLiteral("点击切换到第 %1 组图片对比").arg(number);
}

QString ComparisonPairListModel::cardAccessibleName(int number)
{
    return QStringLiteral("第 %1 组图片对比").arg(number);
}

// ---- Delegate --------------------------------------------------------------------------------------

QSize ComparisonPairDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(cardWidth, cardHeight + spacing);
}

QRectF ComparisonPairDelegate::cardRect(const QRect &row)
{
    return QRectF(row.left() + (row.width() - cardWidth) / 2.0, row.top(), cardWidth, cardHeight);
}

QRectF ComparisonPairDelegate::deleteButtonRect(const QRect &row)
{
    const QRectF card = cardRect(row);
    return QRectF(card.right() - 4 - 18, card.top() + 4, 18, 18);
}

void ComparisonPairDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRectF card = cardRect(option.rect);
    const bool selected = index.data(ComparisonPairListModel::IsSelectedRole).toBool();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    PanelChrome::paintRoundedBox(*painter, card, 8, selected ? AppTheme::paleBlue() : AppTheme::surface(),
                                 selected ? AppTheme::navy() : AppTheme::lightSlate(), selected ? 2 : 1);

    const QSize thumb = ComparisonPairListModel::thumbnailSize;
    const double thumbsLeft = card.center().x() - (2 * thumb.width() + 3) / 2.0;
    const double thumbsTop = card.top() + 7;
    painter->drawPixmap(QPointF(thumbsLeft, thumbsTop),
                        index.data(ComparisonPairListModel::BeforeThumbnailRole).value<QPixmap>());
    painter->drawPixmap(QPointF(thumbsLeft + thumb.width() + 3, thumbsTop),
                        index.data(ComparisonPairListModel::AfterThumbnailRole).value<QPixmap>());

    // The badge and the before file's name, in a 102-wide row.
    const QRectF row(card.center().x() - 51, thumbsTop + thumb.height() + 6, 102, 18);
    const QRectF badge(row.left(), row.top(), 20, 18);
    PanelChrome::paintRoundedBox(*painter, badge, 5, PanelChrome::withAlpha(AppTheme::navy(), 0.92));
    painter->setPen(Qt::white);
    painter->setFont(PanelChrome::monospaceFont(10, QFont::Bold));
    painter->drawText(badge, Qt::AlignCenter, QString::number(index.data(ComparisonPairListModel::NumberRole).toInt()));
    const QFont nameFont = AppFont::font(TypeScale::listName, QFont::DemiBold);
    painter->setFont(nameFont);
    painter->setPen(AppTheme::darkSlate());
    const QRectF name(badge.right() + 5, row.top(), row.right() - badge.right() - 5, row.height());
    painter->drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(nameFont).elidedText(index.data(ComparisonPairListModel::FileNameRole).toString(),
                                                        Qt::ElideMiddle, int(name.width())));

    // The delete button.
    const QRectF button = deleteButtonRect(option.rect);
    painter->setPen(Qt::NoPen);
    painter->setBrush(PanelChrome::withAlpha(AppTheme::red(), 0.92));
    painter->drawEllipse(button);
    SymbolIcons::icon(QStringLiteral("xmark"), Qt::white)
        .paint(painter, QRectF(button.center() - QPointF(5, 5), QSizeF(10, 10)).toAlignedRect());
    painter->restore();
}

// ---- View ------------------------------------------------------------------------------------------

ComparisonPairListView::ComparisonPairListView(ComparisonPairListModel &model, QWidget *parent)
    : QListView(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("comparisonPairList"));
    setModel(&model);
    setItemDelegate(new ComparisonPairDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(PanelChrome::slimListStyleSheet());
    model.setDevicePixelRatio(devicePixelRatioF());
}

void ComparisonPairListView::mousePressEvent(QMouseEvent *event)
{
    m_pressIndex = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : QModelIndex();
    m_pressOnDelete = m_pressIndex.isValid()
                      && ComparisonPairDelegate::deleteButtonRect(visualRect(m_pressIndex)).contains(event->position());
    if (m_pressIndex.isValid() && !m_pressOnDelete
        && !ComparisonPairDelegate::cardRect(visualRect(m_pressIndex)).contains(event->position()))
        m_pressIndex = QModelIndex();
    event->accept();
}

void ComparisonPairListView::mouseReleaseEvent(QMouseEvent *event)
{
    const QModelIndex pressed = m_pressIndex;
    m_pressIndex = QModelIndex();
    if (!pressed.isValid() || indexAt(event->position().toPoint()) != pressed)
        return;
    const std::optional<QUuid> id = m_model.idAt(pressed.row());
    if (!id)
        return;
    const bool onDelete = ComparisonPairDelegate::deleteButtonRect(visualRect(pressed)).contains(event->position());
    if (m_pressOnDelete && onDelete) {
        if (deleteAction)
            deleteAction(*id);
    } else if (!m_pressOnDelete && selectAction) {
        selectAction(*id);
    }
}

bool ComparisonPairListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && ComparisonPairDelegate::deleteButtonRect(visualRect(index)).contains(help->pos())) {
            QToolTip::showText(help->globalPos(), QStringLiteral("删除这组图片对比"), viewport());
            return true;
        }
    }
    return QListView::viewportEvent(event);
}
